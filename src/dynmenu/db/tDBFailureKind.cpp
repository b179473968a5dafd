#include "dynmenu/db/tDBFailureKind.h"

#include <ibase.h>

#include <algorithm>
#include <string>

namespace {

// The codes the client library reports when the connection is gone: a killed
// or stopped server, a server still starting, an attachment deleted by an
// administrator, a database shut down, a connect that ran into its time-out,
// and the handles of an attachment the client library itself shut down.
constexpr intptr_t kLostConnectionCodes[] = {
    isc_network_error,       // Unable to complete network request to host
    isc_net_connect_err,     // Failed to establish a connection
    isc_net_read_err,        // Error reading data from the connection
    isc_net_write_err,       // Error writing data to the connection
    isc_lost_db_connection,  // Connection lost to database
    isc_connect_reject,      // connection rejected by remote interface
    isc_login_error,         // Error occurred during login (a server still starting)
    isc_att_shutdown,        // connection shutdown
    isc_shutdown,            // database ... shutdown
    isc_bad_db_handle,       // invalid database handle (no active connection)
    isc_bad_stmt_handle,     // invalid statement handle
};

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return text;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool HasLostConnectionCode(const tDBError& error) {
  return std::any_of(std::begin(kLostConnectionCodes), std::end(kLostConnectionCodes),
                     [&](intptr_t code) { return error.HasStatusCode(code); });
}

}  // namespace

tDBFailureKind ClassifyDBFailure(const tDBError& error) {
  if (error.TimedOut) return tDBFailureKind::TimedOut;
  const std::string message = LowerCase(error.Message);
  if (Contains(message, "deadlock") || error.HasStatusCode(isc_deadlock))
    return tDBFailureKind::Deadlock;
  if (Contains(message, "connection lost to database") ||
      Contains(message, "unable to complete network request") || HasLostConnectionCode(error))
    return tDBFailureKind::ConnectionLoss;
  return tDBFailureKind::Other;
}
