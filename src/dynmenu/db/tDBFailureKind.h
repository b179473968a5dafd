#pragma once

#include "dynmenu/db/tDBError.h"

// What a failure of the client layer says about running the work again.
enum class tDBFailureKind {
  // Two transactions wanted the same row: a new transaction may get through.
  Deadlock,
  // The attachment, the server or the way to it went away: reconnecting may help.
  ConnectionLoss,
  // The server did not answer in time: waiting again would take as long.
  TimedOut,
  // Anything else: running it again would fail the same way.
  Other,
};

// The one place that reads a failure's kind: a time-out first, then its texts ("deadlock"
// before the two connection texts, any letter case), then its status codes.
tDBFailureKind ClassifyDBFailure(const tDBError& error);
