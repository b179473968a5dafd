// Running a handler's main statement: probe and reopen the attachment, retry
// after deadlocks and lost connections.
#include <algorithm>
#include <exception>

#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uRetryPause.h"
#include "log/uLog.h"
#include "worker/uFormat.h"

namespace {
constexpr int32_t AttemptLimit = 10;

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  });
  return text;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}
}  // namespace

bool tIB_DynMenuWorker::ExecuteQuery(std::string& ErrorText) {
  for (;;) {
    ErrorText.clear();
    ++RetryCount;
    if (RunAttempt(ErrorText)) break;
    if (RetryCount >= AttemptLimit || !PauseBeforeRetry()) {
      RetryCount = 0;
      return false;
    }
  }
  RetryCount = 0;
  return true;
}

// One attempt; on failure ErrorText holds the failure text and
// LastErrorMessage the error's own message.
bool tIB_DynMenuWorker::RunAttempt(std::string& ErrorText) {
  try {
    const bool alive = Database->TestConnected();
    if (!alive && !Database->DatabaseName.empty()) LogWrite("No database connection!");
    if (!alive) {
      LogWrite("Connecting to " + Database->DatabaseName);
      Database->Open();
      LogWrite("Database " + Database->DatabaseName + " connected");
    }
    if (Transaction->InTransaction()) Transaction->Rollback();
    if (Query->IsActive()) Query->Close();
    Transaction->StartTransaction();
    Query->Open();
    return true;
  } catch (const std::exception& error) {
    const std::string message = error.what();
    ErrorText = Format("Exception while processing IB SQL Query=\"%s\" Msg=\"%s\"",
                       Query->Text().c_str(), message.c_str());
    // A reset connection is closed the ordinary way; if even that fails the
    // error goes to the caller.
    if (Contains(message, "10054")) Database->Close();
    RollbackQuietly();
    LastErrorMessage = message;
    return false;
  }
}

void tIB_DynMenuWorker::RollbackQuietly() noexcept {
  try {
    if (Database->IsConnected() && Transaction->InTransaction()) Transaction->Rollback();
  } catch (...) {
  }
}

bool tIB_DynMenuWorker::PauseBeforeRetry() {
  const std::string message = LowerCase(LastErrorMessage);
  const char* reason = nullptr;
  if (Contains(message, "deadlock"))
    reason = "deadlock";
  else if (Contains(message, "connection lost to database") ||
           Contains(message, "unable to complete network request"))
    reason = "connection loss";
  if (reason == nullptr) return false;
  const uint32_t pause = DrawRetryPause();
  LogWrite(Format("Pausing before retrying query due to %s for %u ms...", reason, pause));
  SleepForRetry(pause);
  return true;
}

void tIB_DynMenuWorker::FinishQuery() {
  if (Transaction->InTransaction()) Transaction->Commit();
  if (Query->IsActive()) Query->Close();
}
