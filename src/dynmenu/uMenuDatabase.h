// The menu database and the one way the commands use it: the main statement
// of a command runs with reconnection and retries, follow-up statements run
// once. Each statement is prepared once per attachment and run again with new
// values; the reads share one read-only, read-committed transaction that stays
// open, so a read costs one round trip; an action runs in a transaction of its
// own, started and committed around it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBParam.h"
#include "dynmenu/db/tDBQuery.h"
#include "dynmenu/db/tDBTransaction.h"
#include "dynmenu/uMenuStatement.h"
#include "dynmenu/uRetryDecision.h"
#include "worker/uHourlyFigures.h"

class tMenuDatabase {
 public:
  // Retries and reconnects are counted in figures.
  explicit tMenuDatabase(tDatabaseFigures& figures);
  tMenuDatabase(const tMenuDatabase&) = delete;
  tMenuDatabase& operator=(const tMenuDatabase&) = delete;

  tDBConnection& Connection() { return Connection_; }
  tDBTransaction& ReadTransaction() { return Read_; }
  // Its LockTimeout bounds an action's wait on a row another connection holds.
  tDBTransaction& WriteTransaction() { return Write_; }

  // The attempt in progress of the current chain; 0 between chains.
  int32_t RetryCount = 0;
  // Seconds an attach waits for the server's answer; 0 leaves the client's own limit.
  int32_t ConnectTimeout = 0;

  // The statement the next ExecuteQuery or RunFollowUp runs, and its values.
  void SetStatement(tMenuStatement statement, std::vector<tDBParam> values);
  // The statement as the error texts show it: its values written in, a
  // host's key escaped as every logged value is, each line ended by CR LF.
  std::string Text() const;

  // Runs the statement with reconnection and up to ten attempts; on success
  // its result is open on the first row (and an action's transaction active).
  bool ExecuteQuery(std::string& ErrorText);
  // Runs the statement once, on the attachment as it is.
  void RunFollowUp();
  // Commits an action's transaction, then closes the statement's result.
  void FinishQuery();
  tDBQuery& Result() { return Query(Current_); }

  // A result is open or an action's transaction active: a command left it.
  bool InTransaction() const;
  // Rolls back an action's transaction and closes every open result.
  void Rollback();
  // The same, ignoring every error on the way.
  void RollbackQuietly() noexcept;

 private:
  bool RunAttempt(std::string& ErrorText, tFailedAttempt& failure);
  // Opens the attachment when there is none; true when it did.
  bool ReconnectWhenGone(tFailedAttempt& failure);
  void OpenOnAttachment(bool freshAttachment, tFailedAttempt& failure);
  // The requests of one run; answered counts those the server answered.
  void SendRequests(int& answered);
  // Pauses and answers true when the failed attempt is worth another one.
  bool PauseBeforeRetry(const tFailedAttempt& failure);
  tDBQuery& Query(tMenuStatement statement) { return *Queries_[static_cast<size_t>(statement)]; }

  tDatabaseFigures& Figures_;
  // Destroyed in reverse order: statements, transactions, connection.
  tDBConnection Connection_;
  tDBTransaction Read_;
  tDBTransaction Write_;
  std::array<std::unique_ptr<tDBQuery>, MenuStatementCount> Queries_;
  tMenuStatement Current_ = tMenuStatement::StartItem;
  std::vector<tDBParam> Values_;
};
