// The menu database: the one way the commands reach it. A command's first
// statement runs with reconnection and retries, its follow-up statements run
// once. Each statement is prepared once per attachment and run again with new
// values; the reads share one read-only, read-committed transaction, kept open
// while commands come and ended between two of them once it is ReadLifetime
// old, so a read costs one round trip; an action runs in a transaction of its
// own, started and committed here. Rows come back as values, their statement's
// result closed. No request waits for the server longer than RequestTimeout,
// no attach longer than ConnectTimeout, and nothing of a command goes past
// its deadline. Once a command's attempts end in a failed attach, commands
// fail at once while the server is probed.
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
#include "dynmenu/uServerProbe.h"
#include "log/tPlugInLog.h"
#include "worker/uHourlyFigures.h"

class tMenuDatabase {
 public:
  using tClock = std::chrono::steady_clock;
  // How long the reads' transaction serves commands before it is ended
  // between two of them.
  static constexpr std::chrono::milliseconds ReadLifetime{1000};

  // Writes to log and counts retries, reconnects, cuts and outages into
  // figures; both outlive it.
  tMenuDatabase(tPlugInLog& log, tHourlyFigures& figures, const tMenuDatabaseSettings& settings);
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

  // For the time of one command: its requests are cut at due, as
  // RequestTimeout cuts them, and no attach, retry or pause goes past it.
  class tCommandScope {
   public:
    tCommandScope(tMenuDatabase& database, std::optional<tClock::time_point> due);
    ~tCommandScope();
    tCommandScope(const tCommandScope&) = delete;
    tCommandScope& operator=(const tCommandScope&) = delete;

   private:
    tMenuDatabase& Database_;
  };

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
  // Runs requests under the request time-out and the command's deadline; a
  // failure after the cut drops the attachment and raises with the limit
  // named, in the kind of the cut.
  template <typename tRequests>
  void Watched(tRequests&& requests);
  // How long an attach may take now, and what ends it early; none leaves it
  // to the client library.
  std::optional<tAttachLimit> AttachLimit();
  // The command's time left; none without a deadline.
  std::optional<std::chrono::milliseconds> TimeLeft() const;
  // Raises NotSent when less than neededMs are left until the command's
  // deadline: what is sent now would only be cut off, and its attachment with it.
  void EnsureTimeFor(uint32_t neededMs, const char* what) const;
  void EnsureTimeLeft() const;
  // The time left a command needs to begin an attempt.
  uint32_t RoomToBegin() const;
  std::string DeadlineName() const;
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
  // connection was lost. No pause begins unless it and another attempt as
  // long as the last (attemptMs), and no shorter than RoomToBegin, end before
  // the command's deadline.
  bool PauseBeforeRetry(const tRetryDecision& decision, const std::string& serverText,
                        uint32_t attemptMs);
  // Opens the attachment when there is none; true when it did. While the
  // server is known gone, fails at once without attaching.
  bool ReconnectWhenGone(tFailedAttempt& attempt);
  bool AttachTestedTheServer(const tFailedAttempt& attempt,
                             const std::optional<tAttachLimit>& limit) const;
  // The chain ended in a failed attach that reached no server.
  void NoteServerGone(const std::string& why);
  // A command's attempts, or the first attach, ended in a failed attach: an
  // outage that begins here is logged and counted.
  void BeginOutage(const std::string& reason);
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

  tPlugInLog& Log_;
  tHourlyFigures& Figures_;
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
  std::optional<tClock::time_point> CommandDue_;
  // The room a command needs left to begin a request, and an attach: at
  // least as long as the last attach took.
  static constexpr uint32_t ShortestRequestRoomMs = 50;
  static constexpr uint32_t ShortestAttachRoomMs = 100;
  uint32_t LastAttachMs_ = 0;
  tServerProbe Probe_;
};
