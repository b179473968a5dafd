#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

// The one error type of the database client layer. Message carries the
// server's and client library's own texts; the codes are set only for failures
// reported by the client library.
class tDBError : public std::exception {
 public:
  explicit tDBError(std::string message, int sqlCode = 0, std::vector<intptr_t> statusCodes = {});

  std::string Message;
  int SqlCode = 0;
  // The first error code of the status vector, and all of them in order.
  intptr_t StatusCode = 0;
  std::vector<intptr_t> StatusCodes;
  // Set on a commit whose reply was lost with the connection: the server may
  // have committed or not, and nothing here can tell which.
  bool CommitOutcomeUnknown = false;
  // The server did not answer in time: a request cut off by the request
  // time-out (it may have run there), or an attach not tried while the last
  // one ran into its limit. Not run again: it would only take the time again.
  bool TimedOut = false;

  bool HasStatusCode(intptr_t code) const;
  const char* what() const noexcept override;
};
