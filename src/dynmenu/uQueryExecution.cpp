// Running a handler's main statement: probe and reopen the attachment, retry
// after deadlocks and lost connections as uRetryDecision decides.
#include <algorithm>
#include <exception>

#include "dynmenu/db/tDBFailureKind.h"
#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uRetryPause.h"
#include "log/uLog.h"
#include "log/uLogValue.h"
#include "worker/uFormat.h"

namespace {
// The statement's own line breaks stay; a host's key inside one of its lines
// is a value and comes escaped.
std::string LoggedStatement(const tDBQuery& query) {
  std::string text;
  for (const std::string& line : query.Lines()) text += LogValue(line) + "\r\n";
  return text;
}
}  // namespace

bool tIB_DynMenuWorker::ExecuteQuery(std::string& ErrorText) {
  const uint32_t chainStart = GetTicks();
  for (;;) {
    ErrorText.clear();
    ++RetryCount;
    tFailedAttempt failure;
    if (RunAttempt(ErrorText, failure)) break;
    failure.Attempt = RetryCount;
    failure.ChainMs = TicksBetween(chainStart, GetTicks());
    if (!PauseBeforeRetry(failure)) {
      RetryCount = 0;
      return false;
    }
  }
  RetryCount = 0;
  return true;
}

// One attempt; on failure ErrorText holds the failure text and failure its kind.
bool tIB_DynMenuWorker::RunAttempt(std::string& ErrorText, tFailedAttempt& failure) {
  try {
    ReconnectWhenGone(failure);
    if (Transaction->InTransaction()) Transaction->Rollback();
    if (Query->IsActive()) Query->Close();
    Transaction->StartTransaction();
    Query->Open();
    return true;
  } catch (const std::exception& error) {
    const auto* dbError = dynamic_cast<const tDBError*>(&error);
    const tDBError failed = dbError != nullptr ? *dbError : tDBError(error.what());
    ErrorText = Format("Exception while processing IB SQL Query=\"%s\" Msg=\"%s\"",
                       LoggedStatement(*Query).c_str(), failed.Message.c_str());
    // A reset connection is closed the ordinary way; if even that fails the
    // error goes to the caller.
    if (failed.Message.find("10054") != std::string::npos) Database->Close();
    RollbackQuietly();
    failure.Kind = ClassifyDBFailure(failed);
    return false;
  }
}

void tIB_DynMenuWorker::ReconnectWhenGone(tFailedAttempt& failure) {
  if (Database->TestConnected()) return;
  if (!Database->DatabaseName.empty()) LogWrite("No database connection!");
  LogWrite("Connecting to " + Database->DatabaseName);
  const uint32_t attachStart = GetTicks();
  try {
    Database->Open();
  } catch (...) {
    failure.FailedAttachMs = std::max<uint32_t>(TicksBetween(attachStart, GetTicks()), 1);
    throw;
  }
  LogWrite("Database " + Database->DatabaseName + " connected");
  ++DatabaseFigures.Reconnects;
}

void tIB_DynMenuWorker::RollbackQuietly() noexcept {
  try {
    if (Database->IsConnected() && Transaction->InTransaction()) Transaction->Rollback();
  } catch (...) {
  }
}

bool tIB_DynMenuWorker::PauseBeforeRetry(const tFailedAttempt& failure) {
  const tRetryDecision decision =
      DecideRetry(failure, tRetryLimits{ConnectTimeout, Transaction->LockTimeout});
  if (!decision.Refusal.empty()) LogWrite(decision.Refusal);
  if (decision.Cause == tRetryCause::None) return false;
  ++(decision.Cause == tRetryCause::Deadlock ? DatabaseFigures.DeadlockRetries
                                             : DatabaseFigures.ConnectionLossRetries);
  const uint32_t pause = DrawRetryPause();
  LogWrite(Format("Pausing before retrying query due to %s for %u ms...",
                  RetryCauseText(decision.Cause), pause));
  SleepForRetry(pause);
  return true;
}

void tIB_DynMenuWorker::FinishQuery() {
  if (Transaction->InTransaction()) Transaction->Commit();
  if (Query->IsActive()) Query->Close();
}
