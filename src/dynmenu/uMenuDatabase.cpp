#include "dynmenu/uMenuDatabase.h"

#include <algorithm>
#include <chrono>
#include <exception>

#include "dynmenu/db/tDBFailureKind.h"
#include "dynmenu/uQueryFailed.h"
#include "dynmenu/uRetryPause.h"
#include "log/uLogValue.h"
#include "platform/Format.h"

namespace {
using tClock = std::chrono::steady_clock;

uint32_t MillisecondsSince(tClock::time_point start) {
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(tClock::now() - start).count());
}

// The cut's error: a cut commit stays in doubt, anything else cut timed out.
tDBError CutOffError(const tDBError& cause, const std::string& limit) {
  return tDBError(Format("%s: the request was cut off and is not run again (%s)", limit.c_str(),
                         cause.Message.c_str()),
                  cause.CommitOutcomeUnknown() ? tDBFailureKind::CommitOutcomeUnknown
                                               : tDBFailureKind::TimedOut,
                  cause.StatusCodes, cause.SqlCode);
}

// A probe's attach needs a limit: without ConnectTimeout, its default.
tServerProbe::tTarget ProbeTarget(const tMenuDatabaseSettings& settings) {
  constexpr int32_t DefaultProbeSeconds = 5;
  const int32_t seconds =
      settings.ConnectTimeout > 0 ? settings.ConnectTimeout : DefaultProbeSeconds;
  return {settings.DatabaseName,
          {settings.User, settings.Password, settings.Charset, settings.ConnectTimeout},
          std::chrono::seconds(seconds),
          Format("ConnectTimeout=%d s", seconds)};
}

tDBError AsDBError(const std::exception& error) {
  const auto* dbError = dynamic_cast<const tDBError*>(&error);
  return dbError != nullptr ? *dbError : tDBError(error.what());
}
}  // namespace

tMenuDatabase::tMenuDatabase(tPlugInLog& log, tHourlyFigures& figures,
                             const tMenuDatabaseSettings& settings)
    : Log_(log),
      Figures_(figures),
      Settings_(settings),
      Watchdog_(settings.RequestTimeout, settings.CommandDeadline > 0),
      Read_(Connection_),
      Write_(Connection_),
      // The probe's attach ends an outage: the status tells it at once, and
      // the line dates its end where the server came back.
      Probe_(log, ProbeTarget(settings), [this] { TellAnswered(true); }) {
  Connection_.DatabaseName = settings.DatabaseName;
  Connection_.SQLDialect = 1;
  Connection_.Parameters = ProbeTarget(settings).Parameters;
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
  try {
    Connection_.Open(AttachLimit());
  } catch (const std::exception& error) {
    // An attach the stopping plugin cut short tells nothing of the server.
    if (!Watchdog_.TimeLeft()) BeginOutage(AsDBError(error).Message);
    throw;
  }
  TellAnswered(true);
}

void tMenuDatabase::BeginOutage(const std::string& reason) {
  if (const auto line = Reachability_.AttachFailed(reason)) {
    Figures_.CountDatabase(tDatabaseEvent::Outage);
    Log_.Remember(*line);
    Log_.WriteHourly(*line);
  }
}

void tMenuDatabase::TellAnswered(bool attached) {
  if (const auto line = Reachability_.Answered(attached)) Log_.WriteHourly(*line);
}

bool tMenuDatabase::IsAlive() noexcept {
  bool alive = false;
  Watched([&] { alive = Connection_.TestConnected(); });
  if (!alive) DropAttachment(tDBFailureKind::ConnectionLoss);
  return alive;
}

tMenuDatabase::tCommandScope::tCommandScope(tMenuDatabase& database,
                                            std::optional<tClock::time_point> due)
    : Database_(database) {
  Database_.CommandDue_ = due;
  Database_.Watchdog_.SetCommandDeadline(due);
}

tMenuDatabase::tCommandScope::~tCommandScope() {
  Database_.CommandDue_.reset();
  Database_.Watchdog_.SetCommandDeadline(std::nullopt);
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
    EnsureTimeLeft();
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
      cut = CutOffError(error, watch.CutAtCommandDeadline()
                                   ? "The command reached " + DeadlineName()
                                   : Format("The server did not answer within RequestTimeout=%d s",
                                            Watchdog_.LimitSeconds()));
    }
  }
  if (!cut) return;
  Figures_.CountDatabase(tDatabaseEvent::RequestCutOff);
  DropAttachment(cut->Kind);
  throw *cut;
}

// An attach under way when the stopping plugin's time is up is left behind
// at once; one begun after the stop gets what is left of that time at most,
// and one of a command what is left until its deadline.
std::optional<tAttachLimit> tMenuDatabase::AttachLimit() {
  const int32_t connectTimeout = Settings_.ConnectTimeout;
  const std::optional<std::chrono::milliseconds> commandLeft = TimeLeft();
  if (connectTimeout <= 0 && Watchdog_.LimitSeconds() <= 0 && !commandLeft) return std::nullopt;
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
  if (commandLeft && (!limit.Within || *commandLeft < *limit.Within)) {
    limit.Within = *commandLeft;
    limit.Name = DeadlineName();
  }
  return limit;
}

std::optional<std::chrono::milliseconds> tMenuDatabase::TimeLeft() const {
  if (!CommandDue_) return std::nullopt;
  return std::max(
      std::chrono::duration_cast<std::chrono::milliseconds>(*CommandDue_ - tClock::now()),
      std::chrono::milliseconds::zero());
}

// A request or an attach begun with less time than it takes is cut off at
// the deadline, and its attachment with it; every command queued behind would
// then attach with as little time, and a queue that fell behind would never
// catch up. Such a command fails at once instead, the attachment kept.
void tMenuDatabase::EnsureTimeFor(uint32_t neededMs, const char* what) const {
  const std::optional<std::chrono::milliseconds> left = TimeLeft();
  if (left && left->count() < int64_t{neededMs})
    throw tDBError(Format("%lld ms are left until %s, too few for %s: nothing more was sent",
                          static_cast<long long>(left->count()), DeadlineName().c_str(), what),
                   tDBFailureKind::NotSent);
}

// An attempt as short as the last, but no shorter than the room it needs to begin.
uint32_t tMenuDatabase::RoomToBegin() const {
  return Connection_.IsConnected() ? ShortestRequestRoomMs
                                   : std::max(LastAttachMs_, ShortestAttachRoomMs);
}

void tMenuDatabase::EnsureTimeLeft() const {
  EnsureTimeFor(ShortestRequestRoomMs, "another request");
}

std::string tMenuDatabase::DeadlineName() const {
  return Format("CommandDeadline=%d s", Settings_.CommandDeadline);
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
    const auto attemptStart = tClock::now();
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
      if (!PauseBeforeRetry(decision, serverText, MillisecondsSince(attemptStart))) {
        if (failure.AttachFailedOnItsOwn) BeginOutage(failed.Message);
        if (failure.ServerUnreached) NoteServerGone(failed.Message);
        throw tQueryFailed(Format("Exception while processing IB SQL Query=\"%s\" Msg=\"%s\"",
                                  Text().c_str(), serverText.c_str()));
      }
      ++attempt;
    }
  }
}

// No request of its own probes the attachment: the attempt's first request
// does, and the decision tells whether it found it dead.
void tMenuDatabase::RunAttempt(tFailedAttempt& attempt) {
  EnsureTimeLeft();
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

bool tMenuDatabase::PauseBeforeRetry(const tRetryDecision& decision, const std::string& serverText,
                                     uint32_t attemptMs) {
  if (!decision.Refusal.empty()) Log_.WriteHourly(decision.Refusal);
  if (decision.Cause == tRetryCause::None) return false;
  if (Watchdog_.TimeLeft()) {
    Log_.WriteHourly("Not retrying query: the plugin is stopping");
    return false;
  }
  const uint32_t pause = DrawRetryPause();
  const uint32_t nextAttemptMs = std::max(attemptMs, RoomToBegin());
  if (const auto left = TimeLeft(); left && left->count() <= int64_t{pause} + nextAttemptMs) {
    Log_.WriteHourly(Format(
        "Not retrying query: %lld ms are left until %s, too few for a pause of %u ms "
        "and another attempt of %u ms",
        static_cast<long long>(left->count()), DeadlineName().c_str(), pause, nextAttemptMs));
    return false;
  }
  Figures_.CountDatabase(decision.Cause == tRetryCause::Deadlock
                             ? tDatabaseEvent::DeadlockRetry
                             : tDatabaseEvent::ConnectionLossRetry);
  Log_.WriteHourly(Format("Pausing before retrying query due to %s for %u ms... Msg=\"%s\"",
                          RetryCauseText(decision.Cause), pause, serverText.c_str()));
  SleepForRetry(pause);
  return true;
}

// Every command queued behind one whose attempts found no server would try
// as long again, and every host would keep the server's port busy: while the
// server is known gone, only the probe attaches.
bool tMenuDatabase::ReconnectWhenGone(tFailedAttempt& attempt) {
  if (Connection_.IsConnected()) return false;
  if (const std::optional<std::string> refusal = Probe_.Refusal())
    throw tDBError(*refusal, tDBFailureKind::NotSent);
  EnsureTimeFor(RoomToBegin(), "an attach");
  if (!Connection_.DatabaseName.empty()) Log_.WriteHourly("No database connection!");
  Log_.WriteHourly("Connecting to " + Connection_.DatabaseName);
  const auto attachStart = tClock::now();
  const std::optional<tAttachLimit> limit = AttachLimit();
  try {
    Connection_.Open(limit);
  } catch (const tDBError& error) {
    attempt.FailedAttachMs = std::max<uint32_t>(MillisecondsSince(attachStart), 1);
    attempt.AttachFailedOnItsOwn = !Watchdog_.TimeLeft() && AttachTestedTheServer(attempt, limit);
    attempt.ServerUnreached =
        attempt.AttachFailedOnItsOwn && error.Kind == tDBFailureKind::ConnectionLoss;
    if (attempt.AttachFailedOnItsOwn) Reachability_.RequestFailed();
    throw;
  } catch (...) {
    attempt.FailedAttachMs = std::max<uint32_t>(MillisecondsSince(attachStart), 1);
    throw;
  }
  LastAttachMs_ = MillisecondsSince(attachStart);
  Log_.WriteHourly("Database " + Connection_.DatabaseName + " connected");
  TellAnswered(true);
  Figures_.CountDatabase(tDatabaseEvent::Reconnect);
  return true;
}

// An attach that failed by itself (refused, unreachable), or that had all of
// ConnectTimeout, tried the server; one cut short by the command's deadline
// may only have been given too little time.
bool tMenuDatabase::AttachTestedTheServer(const tFailedAttempt& attempt,
                                          const std::optional<tAttachLimit>& limit) const {
  constexpr uint32_t LimitSlackMs = 100;
  const bool endedByItself =
      !limit || !limit->Within || attempt.FailedAttachMs + LimitSlackMs < limit->Within->count();
  return endedByItself || AttachRanIntoTimeout(attempt.FailedAttachMs, Settings_.ConnectTimeout);
}

void tMenuDatabase::NoteServerGone(const std::string& why) {
  if (!Probe_.ServerGone(why)) return;
  const tBackOffPolicy& policy = Probe_.Policy();
  Log_.WriteHourly(
      Format("The server is not reached: commands fail at once while one attach at a time "
             "probes it, the first in about %lld ms, then at growing intervals up to %lld ms",
             static_cast<long long>(policy.Initial.count()),
             static_cast<long long>(policy.Ceiling.count())));
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
    if (Write_.InTransaction()) {
      EnsureTimeLeft();
      EndWrite(&tDBTransaction::Commit);
    }
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

// Near the command's deadline a rollback would only be cut off, and the
// attachment with it: what is open is left for the next command's BeginCommand.
void tMenuDatabase::RollbackQuietly() noexcept {
  if (const auto left = TimeLeft(); left && left->count() < int64_t{ShortestRequestRoomMs}) return;
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
