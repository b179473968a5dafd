#include "dynmenu/db/tDBError.h"

#include <utility>

tDBError::tDBError(std::string message, tDBFailureKind kind, std::vector<intptr_t> statusCodes,
                   int sqlCode)
    : Message(std::move(message)),
      Kind(kind),
      SqlCode(sqlCode),
      StatusCode(statusCodes.empty() ? 0 : statusCodes.front()),
      StatusCodes(std::move(statusCodes)) {}

const char* tDBError::what() const noexcept {
  return Message.c_str();
}
