// The menu worker: answers commands 100, 101 and 102 from the menu database.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBQuery.h"
#include "dynmenu/db/tDBTransaction.h"
#include "dynmenu/uRetryDecision.h"
#include "worker/uPlugInWorker.h"

class tIB_DynMenuWorker : public tPlugInWorker {
 public:
  tIB_DynMenuWorker();
  ~tIB_DynMenuWorker() override;

  void ReadConfig(std::string& ConfigPath) override;
  void Initialize() override;
  void Finalize() override;
  int32_t ProcessCommand(int32_t Code, uint8_t*& Buffer, int32_t* ResultCode) override;

  // Runs Query's text with reconnection and up to ten attempts; on success the
  // query is open on its first row inside a transaction this call started.
  bool ExecuteQuery(std::string& ErrorText);
  // Commits an active transaction, then closes an open query.
  void FinishQuery();
  // Rolls back an active transaction, ignoring any error on the way.
  void RollbackQuietly() noexcept;
  // ExecuteQuery for a handler's main statement; a failure is logged as
  // "Error while processing <handlerName> Msg=..." followed by the step's values.
  bool ExecuteHandlerQuery(const char* handlerName, const std::string& values);
  // Inside a catch block: logs exceptionLine with the error's message, then
  // the step's values, then "commit outcome unknown" when the error says so.
  void LogCurrentError(const char* exceptionLine, const std::string& values);

  int32_t GetStartMenuItem(uint8_t*& Buffer, int32_t* ResultCode);
  int32_t GetMenuItemDesc(uint8_t*& Buffer, int32_t* ResultCode);
  int32_t PostMenuAction(uint8_t*& Buffer, int32_t* ResultCode);

  // Destroyed in reverse order: query, transaction, connection.
  std::unique_ptr<tDBConnection> Database;
  std::unique_ptr<tDBTransaction> Transaction;
  std::unique_ptr<tDBQuery> Query;
  int32_t RetryCount = 0;
  // Seconds an attach waits for the server's answer; 0 leaves the client's own limit.
  int32_t ConnectTimeout = 0;

 private:
  void ApplySettingsAndConnect();
  bool RunAttempt(std::string& ErrorText, tFailedAttempt& failure);
  // Opens the attachment again when the probe finds it gone.
  void ReconnectWhenGone(tFailedAttempt& failure);
  // Pauses and answers true when the failed attempt is worth another one.
  bool PauseBeforeRetry(const tFailedAttempt& failure);
  // Shared by the three handlers: a transaction an earlier command left
  // active is rolled back with a log line before the handler's own step.
  void RollbackActiveTransaction();
  // The guard of every handler, inside its catch block: result code 1, the
  // exception line with the values, outcome 1.
  int32_t AnswerCurrentError(int32_t* ResultCode, const char* exceptionLine,
                             const std::string& values);
};
