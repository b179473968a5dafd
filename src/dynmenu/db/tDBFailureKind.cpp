#include "dynmenu/db/tDBFailureKind.h"

#include <ibase.h>

#include <algorithm>

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

bool Has(const std::vector<intptr_t>& codes, intptr_t code) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool HasLostConnectionCode(const std::vector<intptr_t>& codes) {
  return std::any_of(std::begin(kLostConnectionCodes), std::end(kLostConnectionCodes),
                     [&](intptr_t code) { return Has(codes, code); });
}

}  // namespace

tDBFailureKind FailureKindOfStatus(const std::string& message, const std::vector<intptr_t>& codes,
                                   bool commit) {
  const std::string text = LowerCase(message);
  if (Contains(text, "deadlock") || Has(codes, isc_deadlock)) return tDBFailureKind::Deadlock;
  if (Contains(text, "connection lost to database") ||
      Contains(text, "unable to complete network request") || HasLostConnectionCode(codes))
    return commit ? tDBFailureKind::CommitOutcomeUnknown : tDBFailureKind::ConnectionLoss;
  return tDBFailureKind::Other;
}

bool NamesConnectionReset(const std::string& message) {
  return Contains(message, "10054");
}

bool LosesAttachment(tDBFailureKind kind) {
  return kind == tDBFailureKind::ConnectionLoss || kind == tDBFailureKind::TimedOut ||
         kind == tDBFailureKind::CommitOutcomeUnknown;
}
