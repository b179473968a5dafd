#include "dynmenu/uMenuDatabase.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "dynmenu/db/tDBFailureKind.h"
#include "dynmenu/uQueryFailed.h"
#include "dynmenu/uRetryPause.h"
#include "log/uLog.h"
#include "log/uLogValue.h"
#include "worker/uFormat.h"

namespace {
using tClock = std::chrono::steady_clock;

uint32_t MillisecondsSince(tClock::time_point start) {
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(tClock::now() - start).count());
}

// The cut's error: a cut commit stays in doubt, anything else cut timed out.
tDBError CutOffError(const tDBError& cause, int32_t limitSeconds) {
  return tDBError(
      Format("The server did not answer within RequestTimeout=%d s: the request was cut "
             "off and is not run again (%s)",
             limitSeconds, cause.Message.c_str()),
      cause.CommitOutcomeUnknown() ? tDBFailureKind::CommitOutcomeUnknown
                                   : tDBFailureKind::TimedOut,
      cause.StatusCodes, cause.SqlCode);
}

tDBError AsDBError(const std::exception& error) {
  const auto* dbError = dynamic_cast<const tDBError*>(&error);
  return dbError != nullptr ? *dbError : tDBError(error.what());
}
}  // namespace

tMenuDatabase::tMenuDatabase(tDatabaseFigures& figures, const tMenuDatabaseSettings& settings)
    : Figures_(figures),
      Settings_(settings),
      Watchdog_(settings.RequestTimeout),
      Read_(Connection_),
      Write_(Connection_) {
  Connection_.DatabaseName = settings.DatabaseName;
  Connection_.SQLDialect = 1;
  Connection_.Parameters = {settings.User, settings.Password, settings.Charset,
                            settings.ConnectTimeout};
  Read_.ReadCommittedOnly = true;
  Write_.LockTimeout = settings.LockTimeout;
  for (size_t index = 0; index < MenuStatementCount; ++index) {
    const auto statement = static_cast<tMenuStatement>(index);
    Queries_[index] =
        std::make_unique<tDBQuery>(Connection_, WritesData(statement) ? Write_ : Read_);
    for (const std::string& line : PreparedLines(statement)) Queries_[index]->AddLine(line);
    Queries_[index]->SingleRow = ReadsOneRow(statement);
  }
}

// A process that ends, or a worker made anew, must not wait on a server that
// does not answer: the attachment's own destructor would detach unwatched.
tMenuDatabase::~tMenuDatabase() {
  try {
    Close();
  } catch (...) {
  }
}

void tMenuDatabase::Open() {
  Attach();
  TellAnswered(true);
}

void tMenuDatabase::Attach() {
  try {
    Connection_.Open(AttachLimit());
  } catch (const std::exception& error) {
    // An attach the stopping plugin cut short tells nothing of the server.
    if (Watchdog_.TimeLeft()) throw;
    if (const auto line = Reachability_.AttachFailed(AsDBError(error).Message)) {
      ++Figures_.Outages;
      LogWriteFailure(*line);
    }
    throw;
  }
}

void tMenuDatabase::TellAnswered(bool attached) {
  if (const auto line = Reachability_.Answered(attached)) LogWrite(*line);
}

bool tMenuDatabase::IsAlive() noexcept {
  bool alive = false;
  Watched([&] { alive = Connection_.TestConnected(); });
  if (!alive) DropAttachment(tDBFailureKind::ConnectionLoss);
  return alive;
}

bool tMenuDatabase::BeginCommand() noexcept {
  if (!InTransaction()) return false;
  RollbackQuietly();
  return true;
}

std::vector<tDBRow> tMenuDatabase::Read(tMenuStatement statement, std::vector<tDBParam> values) {
  SetStatement(statement, std::move(values));
  ExecuteQuery();
  return TakeRows();
}

std::vector<tDBRow> tMenuDatabase::ReadFollowUp(tMenuStatement statement,
                                                std::vector<tDBParam> values) {
  SetStatement(statement, std::move(values));
  try {
    int answered = 0;
    Watched([&] { SendRequests(answered); });
  } catch (...) {
    RollbackQuietly();
    throw;
  }
  return TakeRows();
}

void tMenuDatabase::Record(int32_t sessionId, int32_t itemId, const std::string& itemKey) {
  SetStatement(tMenuStatement::Action, {sessionId, itemId, itemKey});
  ExecuteQuery();
  TakeRows();
}

std::optional<std::chrono::milliseconds> tMenuDatabase::EndAgedRead() noexcept {
  if (!Read_.InTransaction()) return std::nullopt;
  const auto left = ReadLifetime - (tClock::now() - ReadStarted_);
  if (left > tClock::duration::zero()) return std::chrono::ceil<std::chrono::milliseconds>(left);
  try {
    End(Read_, &tDBTransaction::Commit);
  } catch (...) {
  }
  return std::nullopt;
}

bool tMenuDatabase::Close() {
  if (!Connection_.IsConnected()) return false;
  Rollback();
  Watched([&] { Connection_.Close(); });
  return true;
}

// The watch ends before the cut attachment is dropped: dropping is watched too.
template <typename tRequests>
void tMenuDatabase::Watched(tRequests&& requests) {
  std::optional<tDBError> cut;
  {
    tRequestWatchdog::tWatch watch(Watchdog_, *Connection_.AttachmentHandle());
    try {
      requests();
    } catch (const tDBError& error) {
      if (!watch.CutOff()) throw;
      cut = CutOffError(error, Watchdog_.LimitSeconds());
    }
  }
  if (!cut) return;
  ++Figures_.RequestsCutOff;
  DropAttachment(cut->Kind);
  throw *cut;
}

// An attach under way when the stopping plugin's time is up is left behind
// at once; one begun after the stop gets what is left of that time at most.
std::optional<tAttachLimit> tMenuDatabase::AttachLimit() {
  const int32_t connectTimeout = Settings_.ConnectTimeout;
  if (connectTimeout <= 0 && Watchdog_.LimitSeconds() <= 0) return std::nullopt;
  tAttachLimit limit;
  limit.Stop = &Watchdog_;
  limit.StopName = Format("RequestTimeout=%d s of the stopping plugin", Watchdog_.LimitSeconds());
  if (connectTimeout > 0) {
    limit.Within = std::chrono::seconds(connectTimeout);
    limit.Name = Format("ConnectTimeout=%d s", connectTimeout);
  }
  const auto left = Watchdog_.TimeLeft();
  if (left && (!limit.Within || *left < *limit.Within)) {
    limit.Within = std::chrono::duration_cast<std::chrono::milliseconds>(*left);
    limit.Name = limit.StopName;
  }
  return limit;
}

void tMenuDatabase::SetStatement(tMenuStatement statement, std::vector<tDBParam> values) {
  Current_ = statement;
  Values_ = std::move(values);
}

std::string tMenuDatabase::Text() const {
  std::string text;
  for (const std::string& line : ShownLines(Current_, Values_)) text += LogValue(line) + "\r\n";
  return text;
}

void tMenuDatabase::ExecuteQuery() {
  const auto chainStart = tClock::now();
  for (int32_t attempt = 1;;) {
    tFailedAttempt failure{.Attempt = attempt};
    try {
      RunAttempt(failure);
      TellAnswered(false);
      return;
    } catch (const std::exception& error) {
      const tDBError failed = AsDBError(error);
      if (LosesAttachment(failed.Kind)) Reachability_.RequestFailed();
      failure.Kind = failed.Kind;
      failure.ChainMs = MillisecondsSince(chainStart);
      const tRetryDecision decision =
          DecideRetry(failure, tRetryLimits{Settings_.ConnectTimeout, Settings_.LockTimeout});
      if (decision.Cause == tRetryCause::AttachmentFoundDead) {
        DropAttachment(failed.Kind);
        continue;
      }
      // The server's words may hold line breaks and quotes (a procedure's
      // exception text is anyone's): escaped, they stay inside their line.
      const std::string serverText = LogValue(failed.Message);
      LeaveFailedAttempt(failed);
      if (!PauseBeforeRetry(decision, serverText))
        throw tQueryFailed(Format("Exception while processing IB SQL Query=\"%s\" Msg=\"%s\"",
                                  Text().c_str(), serverText.c_str()));
      ++attempt;
    }
  }
}

// No request of its own probes the attachment: the attempt's first request
// does, and the decision tells whether it found it dead.
void tMenuDatabase::RunAttempt(tFailedAttempt& attempt) {
  const bool kept = !ReconnectWhenGone(attempt);
  Rollback();
  int answered = 0;
  try {
    Watched([&] { SendRequests(answered); });
  } catch (...) {
    attempt.FirstRequestOnKeptAttachment = kept && answered == 0;
    throw;
  }
}

void tMenuDatabase::LeaveFailedAttempt(const tDBError& failure) {
  if (failure.ConnectionReset) Watched([&] { Connection_.Close(); });
  if (LosesAttachment(failure.Kind)) DropAttachment(failure.Kind);
  RollbackQuietly();
}

bool tMenuDatabase::PauseBeforeRetry(const tRetryDecision& decision,
                                     const std::string& serverText) {
  if (!decision.Refusal.empty()) LogWrite(decision.Refusal);
  if (decision.Cause == tRetryCause::None) return false;
  if (Watchdog_.TimeLeft()) {
    LogWrite("Not retrying query: the plugin is stopping");
    return false;
  }
  ++(decision.Cause == tRetryCause::Deadlock ? Figures_.DeadlockRetries
                                             : Figures_.ConnectionLossRetries);
  const uint32_t pause = DrawRetryPause();
  LogWrite(Format("Pausing before retrying query due to %s for %u ms... Msg=\"%s\"",
                  RetryCauseText(decision.Cause), pause, serverText.c_str()));
  SleepForRetry(pause);
  return true;
}

// Every command queued behind an attach that ran into ConnectTimeout would
// wait as long again: for as long once more, they fail at once.
void tMenuDatabase::RefuseAttachWhileResting() const {
  const auto now = tClock::now();
  if (now >= NoAttachBefore_) return;
  throw tDBError(
      Format("Failed to establish a connection: the last attach ran into ConnectTimeout=%d s; the "
             "next is tried in %u ms",
             Settings_.ConnectTimeout,
             static_cast<uint32_t>(
                 std::chrono::duration_cast<std::chrono::milliseconds>(NoAttachBefore_ - now)
                     .count())),
      tDBFailureKind::TimedOut);
}

bool tMenuDatabase::ReconnectWhenGone(tFailedAttempt& attempt) {
  if (Connection_.IsConnected()) return false;
  RefuseAttachWhileResting();
  if (!Connection_.DatabaseName.empty()) LogWrite("No database connection!");
  LogWrite("Connecting to " + Connection_.DatabaseName);
  const auto attachStart = tClock::now();
  try {
    Attach();
  } catch (...) {
    attempt.FailedAttachMs = std::max<uint32_t>(MillisecondsSince(attachStart), 1);
    if (AttachRanIntoTimeout(attempt.FailedAttachMs, Settings_.ConnectTimeout))
      NoAttachBefore_ = tClock::now() + std::chrono::seconds(Settings_.ConnectTimeout);
    throw;
  }
  LogWrite("Database " + Connection_.DatabaseName + " connected");
  TellAnswered(true);
  ++Figures_.Reconnects;
  return true;
}

void tMenuDatabase::SendRequests(int& answered) {
  tDBQuery& query = Query(Current_);
  tDBTransaction& transaction = WritesData(Current_) ? Write_ : Read_;
  if (!transaction.InTransaction()) {
    transaction.StartTransaction();
    if (&transaction == &Read_) ReadStarted_ = tClock::now();
    ++answered;
  }
  if (!query.IsPrepared()) {
    query.Prepare();
    ++answered;
  }
  query.SetParams(Values_);
  query.Open();
}

std::vector<tDBRow> tMenuDatabase::TakeRows() {
  std::vector<tDBRow> rows;
  try {
    Watched([&] {
      tDBQuery& query = Query(Current_);
      for (query.First(); !query.Eof(); query.Next()) rows.push_back(query.CurrentRow());
      query.Close();
    });
    if (Write_.InTransaction()) EndWrite(&tDBTransaction::Commit);
  } catch (...) {
    RollbackQuietly();
    throw;
  }
  return rows;
}

void tMenuDatabase::EndWrite(void (tDBTransaction::*end)()) {
  End(Write_, end);
}

void tMenuDatabase::End(tDBTransaction& transaction, void (tDBTransaction::*end)()) {
  try {
    Watched([&] { (transaction.*end)(); });
  } catch (const tDBError& error) {
    DropAttachment(error.Kind);
    throw;
  }
}

bool tMenuDatabase::InTransaction() const {
  return Write_.InTransaction() ||
         std::any_of(Queries_.begin(), Queries_.end(),
                     [](const std::unique_ptr<tDBQuery>& query) { return query->IsActive(); });
}

void tMenuDatabase::Rollback() {
  if (Write_.InTransaction()) EndWrite(&tDBTransaction::Rollback);
  if (!InTransaction()) return;
  Watched([&] {
    for (const auto& query : Queries_)
      if (query->IsActive()) query->Close();
  });
}

void tMenuDatabase::RollbackQuietly() noexcept {
  try {
    Watched([&] {
      for (const auto& query : Queries_) query->CloseQuietly();
    });
    if (Write_.InTransaction()) EndWrite(&tDBTransaction::Rollback);
  } catch (...) {
  }
}

void tMenuDatabase::DropAttachment(tDBFailureKind why) noexcept {
  if (!Connection_.IsConnected()) return;
  if (LosesAttachment(why)) Connection_.CutClientSide();
  Watched([&] { Connection_.ForceClose(); });
}
