#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "dynmenu/db/tDBFailureKind.h"

// The one error type of the database client layer. Message carries the
// server's and client library's own texts; the codes are set only for failures
// reported by the client library. Its kind is given where it is raised.
class tDBError : public std::exception {
 public:
  explicit tDBError(std::string message, tDBFailureKind kind = tDBFailureKind::Other,
                    std::vector<intptr_t> statusCodes = {}, int sqlCode = 0);

  std::string Message;
  tDBFailureKind Kind = tDBFailureKind::Other;
  int SqlCode = 0;
  // The first error code of the status vector, and all of them in order.
  intptr_t StatusCode = 0;
  std::vector<intptr_t> StatusCodes;
  // The client library's words name a connection reset by the other side.
  bool ConnectionReset = false;

  bool CommitOutcomeUnknown() const { return Kind == tDBFailureKind::CommitOutcomeUnknown; }
  const char* what() const noexcept override;
};
