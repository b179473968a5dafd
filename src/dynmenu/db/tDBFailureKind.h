#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What a failure of the client layer says about running the work again. Each
// failure's kind is decided once: where the client library's status is read,
// where the request watch cuts, or where the layer raises an error of its own.
enum class tDBFailureKind {
  // Two transactions wanted the same row: a new transaction may get through.
  Deadlock,
  // The attachment, the server or the way to it went away: reconnecting may help.
  ConnectionLoss,
  // The server did not answer in time: a request cut off by the request
  // time-out or the command's deadline (it may have run there). Waiting again
  // would take as long.
  TimedOut,
  // Nothing was sent: the command's deadline had come, or the server is known
  // gone. The attachment, if there is one, is as it was.
  NotSent,
  // A commit lost its reply (its connection, or its request cut off): the
  // server may have committed or not, and nothing here can tell which.
  CommitOutcomeUnknown,
  // Anything else: running it again would fail the same way.
  Other,
};

// The kind a status of the client library names: its texts first ("deadlock"
// before the two connection texts, any letter case), then its codes. A commit
// that lost its connection is in doubt.
tDBFailureKind FailureKindOfStatus(const std::string& message, const std::vector<intptr_t>& codes,
                                   bool commit);

// The words of a connection reset by the other side ("10054", a plain
// substring): such an attachment is closed the ordinary way before anything else.
bool NamesConnectionReset(const std::string& message);

// The attachment of such a failure is gone, or no longer to be trusted.
bool LosesAttachment(tDBFailureKind kind);
