#pragma once

#include <cstdint>
#include <exception>
#include <string>

// The one error type of the database client layer. Message carries the
// server's and client library's own texts; the codes are set only for failures
// reported by the client library.
class tDBError : public std::exception {
 public:
  explicit tDBError(std::string message, int sqlCode = 0, intptr_t statusCode = 0);

  std::string Message;
  int SqlCode = 0;
  intptr_t StatusCode = 0;

  const char* what() const noexcept override;
};
