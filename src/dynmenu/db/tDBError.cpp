#include "dynmenu/db/tDBError.h"

#include <algorithm>
#include <utility>

tDBError::tDBError(std::string message, int sqlCode, std::vector<intptr_t> statusCodes)
    : Message(std::move(message)),
      SqlCode(sqlCode),
      StatusCode(statusCodes.empty() ? 0 : statusCodes.front()),
      StatusCodes(std::move(statusCodes)) {}

bool tDBError::HasStatusCode(intptr_t code) const {
  return std::find(StatusCodes.begin(), StatusCodes.end(), code) != StatusCodes.end();
}

const char* tDBError::what() const noexcept {
  return Message.c_str();
}
