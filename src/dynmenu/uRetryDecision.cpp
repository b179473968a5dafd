#include "dynmenu/uRetryDecision.h"

#include <algorithm>

#include "platform/Format.h"

namespace {
constexpr int32_t AttemptLimit = 10;
// A connect that gave up this close to its time-out ran into it.
constexpr uint32_t ConnectTimerSlackMs = 100;

// The server ends a lock wait on its own whole-second tick, between t-1 and t
// seconds after the wait began; a chain that has run that long has met the
// lock time-out.
uint32_t LockWaitBudgetMs(int32_t lockTimeout) {
  return static_cast<uint32_t>(std::max(lockTimeout - 1, 1)) * 1000;
}

bool LockWaitTimedOut(const tFailedAttempt& attempt, int32_t lockTimeout) {
  return lockTimeout > 0 && attempt.ChainMs >= LockWaitBudgetMs(lockTimeout);
}
}  // namespace

bool AttachRanIntoTimeout(uint32_t failedAttachMs, int32_t connectTimeout) {
  return connectTimeout > 0 && failedAttachMs > 0 &&
         failedAttachMs + ConnectTimerSlackMs >= static_cast<uint32_t>(connectTimeout) * 1000;
}

tRetryDecision DecideRetry(const tFailedAttempt& attempt, const tRetryLimits& limits) {
  tRetryDecision decision;
  if (attempt.Kind == tDBFailureKind::ConnectionLoss && attempt.FirstRequestOnKeptAttachment) {
    decision.Cause = tRetryCause::AttachmentFoundDead;
    return decision;
  }
  if (attempt.Attempt >= AttemptLimit) return decision;
  switch (attempt.Kind) {
    case tDBFailureKind::Deadlock:
      if (LockWaitTimedOut(attempt, limits.LockTimeout))
        decision.Refusal =
            Format("Not retrying query: the lock wait ran into LockTimeout=%d after %u ms",
                   limits.LockTimeout, attempt.ChainMs);
      else
        decision.Cause = tRetryCause::Deadlock;
      break;
    case tDBFailureKind::ConnectionLoss:
      if (AttachRanIntoTimeout(attempt.FailedAttachMs, limits.ConnectTimeout))
        decision.Refusal =
            Format("Not retrying query: the server did not answer within ConnectTimeout=%d (%u ms)",
                   limits.ConnectTimeout, attempt.FailedAttachMs);
      else
        decision.Cause = tRetryCause::ConnectionLoss;
      break;
    case tDBFailureKind::TimedOut:
    case tDBFailureKind::NotSent:
    case tDBFailureKind::CommitOutcomeUnknown:
    case tDBFailureKind::Other:
      break;
  }
  return decision;
}

const char* RetryCauseText(tRetryCause cause) {
  return cause == tRetryCause::Deadlock ? "deadlock" : "connection loss";
}
