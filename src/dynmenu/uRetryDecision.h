// Whether a failed attempt of a handler's main statement is run again, and why.
#pragma once

#include <cstdint>
#include <string>

#include "dynmenu/db/tDBFailureKind.h"

enum class tRetryCause {
  None,
  Deadlock,
  ConnectionLoss,
  // The attempt's first request found dead the attachment an earlier command
  // left: that request was the attempt's probe, and the attempt runs again at
  // once on a new attachment, without a pause and as the same attempt.
  AttachmentFoundDead,
};

// A failed attempt as the decision sees it.
struct tFailedAttempt {
  tDBFailureKind Kind = tDBFailureKind::Other;
  // 1 for the first attempt of the chain.
  int32_t Attempt = 0;
  // Milliseconds since the chain's first attempt began.
  uint32_t ChainMs = 0;
  // Milliseconds a failed attach of this attempt waited; 0 when none failed.
  uint32_t FailedAttachMs = 0;
  // It failed on its first request, on an attachment it did not open.
  bool FirstRequestOnKeptAttachment = false;
  // Its attach failed by itself or ran into ConnectTimeout, not cut short by
  // the command's deadline or a stop: it tells of the server.
  bool AttachFailedOnItsOwn = false;
  // Its attach failed without reaching the server (refused, unreachable,
  // shut down, or silent until ConnectTimeout), not cut short by the
  // command's deadline or a stop.
  bool ServerUnreached = false;
};

// The time-outs in force, in seconds; 0 for none.
struct tRetryLimits {
  int32_t ConnectTimeout = 0;
  int32_t LockTimeout = 0;
};

struct tRetryDecision {
  tRetryCause Cause = tRetryCause::None;
  // Why a failure of a retried kind is not retried this time, for the log.
  std::string Refusal;
};

// The one place that decides: deadlocks and lost connections are retried, up
// to ten attempts in all, unless the wait that failed already took its whole
// time-out (a held lock or a server that does not answer would only take it
// again, with every queued command waiting behind). A request cut off, a
// commit in doubt and any other failure are not run again.
tRetryDecision DecideRetry(const tFailedAttempt& attempt, const tRetryLimits& limits);

// A failed attach that waited this long ran into ConnectTimeout (seconds, 0 for none).
bool AttachRanIntoTimeout(uint32_t failedAttachMs, int32_t connectTimeout);

// "deadlock" or "connection loss", as the pause line names the cause.
const char* RetryCauseText(tRetryCause cause);
