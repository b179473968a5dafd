#include "dynmenu/db/tDBError.h"

#include <utility>

tDBError::tDBError(std::string message, int sqlCode, intptr_t statusCode)
    : Message(std::move(message)), SqlCode(sqlCode), StatusCode(statusCode) {}

const char* tDBError::what() const noexcept {
  return Message.c_str();
}
