// The menu database: the one way the commands reach it. A command's first
// statement runs with reconnection and retries, its follow-up statements run
// once. Each statement is prepared once per attachment and run again with new
// values; the reads share one read-only, read-committed transaction, kept open
// while commands come and ended between two of them once it is ReadLifetime
// old, so a read costs one round trip; an action runs in a transaction of its
// own, started and committed here. Rows come back as values, their statement's
// result closed. No request waits for the server longer than RequestTimeout,
// and no attach longer than ConnectTimeout.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dynmenu/db/tBoundedAttach.h"
#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDBParam.h"
#include "dynmenu/db/tDBQuery.h"
#include "dynmenu/db/tDBRow.h"
#include "dynmenu/db/tDBTransaction.h"
#include "dynmenu/db/tRequestWatchdog.h"
#include "dynmenu/tDatabaseReachability.h"
#include "dynmenu/uMenuDatabaseSettings.h"
#include "dynmenu/uMenuStatement.h"
#include "dynmenu/uRetryDecision.h"
#include "worker/uHourlyFigures.h"

class tMenuDatabase {
 public:
  // How long the reads' transaction serves commands before it is ended
  // between two of them.
  static constexpr std::chrono::milliseconds ReadLifetime{1000};

  // Retries and reconnects are counted in figures.
  tMenuDatabase(tDatabaseFigures& figures, const tMenuDatabaseSettings& settings);
  // Closes as Close does, within RequestTimeout, errors ignored.
  ~tMenuDatabase();
  tMenuDatabase(const tMenuDatabase&) = delete;
  tMenuDatabase& operator=(const tMenuDatabase&) = delete;

  const tMenuDatabaseSettings& Settings() const { return Settings_; }

  // Attaches unless attached; raises with the client's words.
  void Open();
  bool IsConnected() const { return Connection_.IsConnected(); }
  // Asks the server whether the attachment still answers; a dead one is dropped.
  bool IsAlive() noexcept;

  // Before each command's first statement: rolls back what an earlier command
  // left open, ignoring errors (a rollback that fails drops the attachment, and
  // the next statement reconnects). True when something was left.
  bool BeginCommand() noexcept;
  // A command's first read; raises tQueryFailed when its attempts are spent.
  std::vector<tDBRow> Read(tMenuStatement statement, std::vector<tDBParam> values);
  // A later read of the same command, once, on the attachment as it is; a
  // failure rolls back what it opened and raises.
  std::vector<tDBRow> ReadFollowUp(tMenuStatement statement, std::vector<tDBParam> values);
  // Writes the action and commits it; raises tQueryFailed when its attempts are
  // spent, and tDBError with CommitOutcomeUnknown when the commit's reply was lost.
  void Record(int32_t sessionId, int32_t itemId, const std::string& itemKey);

  // Between commands: commits the reads' transaction once it is ReadLifetime
  // old. Firebird 4 (ReadConsistency = 1) keeps a snapshot for a read-committed
  // transaction, which holds back garbage collection for as long as it is open.
  // Returns how long until the open one is that old; none when none is open.
  std::optional<std::chrono::milliseconds> EndAgedRead() noexcept;

  // Rolls back and detaches; true when there was an attachment to close. Raises
  // when either fails.
  bool Close();

  // From any thread, as the session stops: the command under way and Close
  // end within RequestTimeout from now, and nothing is retried any more.
  void EndWithinRequestTimeout() noexcept { Watchdog_.EndWithinLimit(); }

  // Read from any thread.
  const tDatabaseReachability& Reachability() const { return Reachability_; }
  // A command failed for good: counted against an outage under way.
  void CommandFailed() { Reachability_.CommandFailed(); }

 private:
  // Runs requests under the request time-out; a failure after the cut drops
  // the attachment and raises with the limit named, in the kind of the cut.
  template <typename tRequests>
  void Watched(tRequests&& requests);
  // How long an attach may take now, and what ends it early; none leaves it
  // to the client library.
  std::optional<tAttachLimit> AttachLimit();
  void SetStatement(tMenuStatement statement, std::vector<tDBParam> values);
  // The statement as the error texts show it: its values written in, a
  // host's key escaped as every logged value is, each line ended by CR LF.
  std::string Text() const;
  // The one retry loop: runs the statement's attempt until it succeeds, and
  // after each failure does what the decision says. On success the result is
  // open on the first row (and an action's transaction active); raises
  // tQueryFailed when the attempts are spent.
  void ExecuteQuery();
  // One attempt: attaches when there is none, rolls back what is left open,
  // starts the transaction and runs the statement. On failure, attempt tells
  // how far it got.
  void RunAttempt(tFailedAttempt& attempt);
  // What a failed attempt leaves behind is let go: a reset connection is
  // closed the ordinary way (when even that fails, its error goes to the
  // caller), a lost one dropped, and whatever is open rolled back.
  void LeaveFailedAttempt(const tDBError& failure);
  // Logs why the chain ends, or pauses before the next attempt; false when it
  // ends. The pause line quotes serverText, so the log tells why the
  // connection was lost.
  bool PauseBeforeRetry(const tRetryDecision& decision, const std::string& serverText);
  void RefuseAttachWhileResting() const;
  // Opens the attachment when there is none; true when it did.
  bool ReconnectWhenGone(tFailedAttempt& attempt);
  // Attaches; a failure that begins an outage is logged and counted, and
  // raised as the attach raised it.
  void Attach();
  // The server answered (attached tells whether by an attach); an outage
  // that ends here is logged.
  void TellAnswered(bool attached);
  // The requests of one run; answered counts those the server answered.
  void SendRequests(int& answered);
  // The rows of the statement run last, its action committed and its result
  // closed; a failure rolls back what is open and raises.
  std::vector<tDBRow> TakeRows();
  // Ends the action's transaction. One that cannot be ended is let go with
  // its attachment: the next command reconnects, and the server rolls back
  // whatever it still holds.
  void EndWrite(void (tDBTransaction::*end)());
  void End(tDBTransaction& transaction, void (tDBTransaction::*end)());
  // A result is open or an action's transaction active.
  bool InTransaction() const;
  // Rolls back an action's transaction and closes every open result.
  void Rollback();
  // The same, ignoring every error on the way.
  void RollbackQuietly() noexcept;
  // The one way an attachment is dropped after a failure. Ending its
  // transactions and detaching are requests too, and a server deleting the
  // attachment was seen to leave them unanswered: when the failure says it
  // is lost, the client side is closed first, so they fail at once; and they
  // are watched for a client library that cannot close it.
  void DropAttachment(tDBFailureKind why) noexcept;
  tDBQuery& Query(tMenuStatement statement) { return *Queries_[static_cast<size_t>(statement)]; }

  tDatabaseFigures& Figures_;
  const tMenuDatabaseSettings Settings_;
  tDatabaseReachability Reachability_;
  // Destroyed in reverse order: statements, transactions, connection, watchdog.
  tRequestWatchdog Watchdog_;
  tDBConnection Connection_;
  tDBTransaction Read_;
  tDBTransaction Write_;
  std::array<std::unique_ptr<tDBQuery>, MenuStatementCount> Queries_;
  std::chrono::steady_clock::time_point ReadStarted_{};
  tMenuStatement Current_ = tMenuStatement::StartItem;
  std::vector<tDBParam> Values_;
  // Set when an attach ran into ConnectTimeout: none is tried before.
  std::chrono::steady_clock::time_point NoAttachBefore_{};
};
