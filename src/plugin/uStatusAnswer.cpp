#include "plugin/uStatusAnswer.h"

#include <kalvor/status_channel.h>

#include <algorithm>

#include "platform/Format.h"
#include "worker/uJson.h"

namespace {
const char* const CommandNames[] = {"100", "101", "102", "other"};
const char* const ResultCodeNames[] = {"0", "1", "2", "3", "other"};

std::string Number(uint64_t value) {
  return std::to_string(value);
}

// Whole numbers only: a host's locale may write a decimal comma.
std::string Milliseconds(uint64_t microseconds) {
  return Format("%llu.%03u", static_cast<unsigned long long>(microseconds / 1000),
                static_cast<unsigned>(microseconds % 1000));
}

std::string Tenths(double seconds) {
  const auto tenths = static_cast<unsigned long long>(seconds * 10 + 0.5);
  return Format("%llu.%llu", tenths / 10, tenths % 10);
}

// "2 d 3 h", "3 h 12 min", "12 min 5 s", "5.2 s".
std::string Duration(double seconds) {
  const auto whole = static_cast<unsigned long long>(seconds);
  if (whole < 60) return Tenths(seconds) + " s";
  if (whole < 3600) return Format("%llu min %llu s", whole / 60, whole % 60);
  if (whole < 86400) return Format("%llu h %llu min", whole / 3600, whole % 3600 / 60);
  return Format("%llu d %llu h", whole / 86400, whole % 86400 / 3600);
}

template <size_t Size>
std::string CountsText(const std::array<uint64_t, Size>& counts, const char* const* names) {
  std::string text;
  for (size_t index = 0; index < Size; ++index)
    text += (index == 0 ? "" : " ") + std::string(names[index]) + "=" + Number(counts[index]);
  return text;
}

template <size_t Size>
std::string CountsJson(const std::array<uint64_t, Size>& counts, const char* const* names) {
  tJsonObject object;
  for (size_t index = 0; index < Size; ++index)
    object.Add(names[index], static_cast<int64_t>(counts[index]));
  return object.Text();
}

std::string ConnectionText(const tConnectionStatus& connection) {
  switch (connection.State) {
    case tConnectionState::NotYetConnected:
      return "not connected yet";
    case tConnectionState::Connected:
      return "connected since " + connection.Since + " (" + Duration(connection.Seconds) + ")";
    case tConnectionState::Unreachable:
      break;
  }
  return "unreachable since " + connection.Since + " (" + Duration(connection.Seconds) + "), " +
         Number(connection.FailedCommands) + " commands failed since: " + connection.Reason;
}

const char* StateName(tConnectionState state) {
  switch (state) {
    case tConnectionState::Connected:
      return "connected";
    case tConnectionState::Unreachable:
      return "unreachable";
    case tConnectionState::NotYetConnected:
      break;
  }
  return "not connected yet";
}

std::string DatabaseText(const tStatusSnapshot& s) {
  if (s.Database.empty()) return "none named in the ini";
  return s.DatabaseUser.empty() ? s.Database : s.Database + " as " + s.DatabaseUser;
}

std::string InProgressText(const std::optional<tCommandInProgress>& command) {
  if (!command) return "none";
  return Format("command %d (CommandId %d) for %llu ms", command->Command, command->CommandId,
                static_cast<unsigned long long>(command->Milliseconds));
}

std::string DatabaseTotalsText(const tDatabaseCounts& totals) {
  return "retries deadlock=" + Number(totals.DeadlockRetries) +
         " connection loss=" + Number(totals.ConnectionLossRetries) +
         "; reconnects=" + Number(totals.Reconnects) +
         "; requests cut off=" + Number(totals.RequestsCutOff) +
         "; outages=" + Number(totals.Outages) +
         "; attaches left behind now=" + Number(totals.AttachesLeftBehind);
}

// A value from outside (a path, the server's words) stays on its line.
std::string Line(const char* label, std::string value) {
  std::replace_if(
      value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return std::string(label) + ": " + value + "\n";
}
}  // namespace

std::string StatusText(const tStatusSnapshot& s) {
  std::string text =
      Line("plugin", s.Name + " " + s.Version + ", pid " + Number(s.ProcessId) + ", started " +
                         s.StartedAt + " (up " + Duration(static_cast<double>(s.UptimeSeconds)) +
                         ")") +
      Line("ini", s.IniPath) + Line("database", DatabaseText(s)) +
      Line("connection", ConnectionText(s.Connection)) +
      Line("queue", Number(s.QueueLength) + " of " + Number(s.QueueLimit) + " commands, " +
                        Number(s.QueueBytes) + " of " + Number(s.QueueByteLimit) + " bytes") +
      Line("in progress", InProgressText(s.InProgress)) +
      Line("commands since start", CountsText(s.SinceStart.Commands, CommandNames)) +
      Line("result codes since start", CountsText(s.SinceStart.ResultCodes, ResultCodeNames)) +
      Line("commands this hour", CountsText(s.ThisHour.Commands, CommandNames)) +
      Line("result codes this hour", CountsText(s.ThisHour.ResultCodes, ResultCodeNames)) +
      Line("failures last minute", Number(s.FailuresLastMinute)) +
      Line("database since start", DatabaseTotalsText(s.DatabaseTotals)) +
      Line("latency this hour",
           "Command_Plugin to callback ms median=" + Milliseconds(s.LatencyMedian) +
               " p99=" + Milliseconds(s.LatencyP99)) +
      Line("log file", s.LogFile);
  for (const std::string& failure : s.RecentFailures) text += Line("failure", failure);
  return text;
}

std::string StatusJson(const tStatusSnapshot& s) {
  tJsonObject connection;
  connection.AddText("state", StateName(s.Connection.State))
      .AddText("since", s.Connection.Since)
      .AddRaw("seconds", Tenths(s.Connection.Seconds))
      .AddText("reason", s.Connection.Reason)
      .Add("failed_commands", static_cast<int64_t>(s.Connection.FailedCommands));
  tJsonObject queue;
  queue.Add("commands", static_cast<int64_t>(s.QueueLength))
      .Add("command_limit", static_cast<int64_t>(s.QueueLimit))
      .Add("bytes", static_cast<int64_t>(s.QueueBytes))
      .Add("byte_limit", static_cast<int64_t>(s.QueueByteLimit));
  std::string inProgress = "null";
  if (s.InProgress)
    inProgress = tJsonObject()
                     .Add("command_id", s.InProgress->CommandId)
                     .Add("command", s.InProgress->Command)
                     .Add("ms", static_cast<int64_t>(s.InProgress->Milliseconds))
                     .Text();
  const tDatabaseCounts& totals = s.DatabaseTotals;
  tJsonObject database;
  database.Add("deadlock_retries", static_cast<int64_t>(totals.DeadlockRetries))
      .Add("connection_loss_retries", static_cast<int64_t>(totals.ConnectionLossRetries))
      .Add("reconnects", static_cast<int64_t>(totals.Reconnects))
      .Add("requests_cut_off", static_cast<int64_t>(totals.RequestsCutOff))
      .Add("outages", static_cast<int64_t>(totals.Outages))
      .Add("attaches_left_behind_now", static_cast<int64_t>(totals.AttachesLeftBehind));
  std::vector<std::string> failures;
  for (const std::string& failure : s.RecentFailures) failures.push_back(JsonString(failure));
  tJsonObject status;
  status.AddText("name", s.Name)
      .AddText("version", s.Version)
      .Add("pid", s.ProcessId)
      .AddText("started", s.StartedAt)
      .Add("uptime_seconds", static_cast<int64_t>(s.UptimeSeconds))
      .AddText("ini", s.IniPath)
      .AddText("database", s.Database)
      .AddText("database_user", s.DatabaseUser)
      .AddRaw("connection", connection.Text())
      .AddRaw("queue", queue.Text())
      .AddRaw("in_progress", inProgress)
      .AddRaw("since_start",
              tJsonObject()
                  .AddRaw("commands", CountsJson(s.SinceStart.Commands, CommandNames))
                  .AddRaw("result_codes", CountsJson(s.SinceStart.ResultCodes, ResultCodeNames))
                  .Text())
      .AddRaw("this_hour",
              tJsonObject()
                  .AddRaw("commands", CountsJson(s.ThisHour.Commands, CommandNames))
                  .AddRaw("result_codes", CountsJson(s.ThisHour.ResultCodes, ResultCodeNames))
                  .AddRaw("latency_ms_median", Milliseconds(s.LatencyMedian))
                  .AddRaw("latency_ms_p99", Milliseconds(s.LatencyP99))
                  .Text())
      .Add("failures_last_minute", static_cast<int64_t>(s.FailuresLastMinute))
      .AddRaw("database_since_start", database.Text())
      .AddText("log_file", s.LogFile)
      .AddRaw("recent_failures", JsonArray(failures));
  return status.Text() + "\n";
}

std::string PlainAnswer(const tStatusRequest& request) {
  switch (request.Kind) {
    case tStatusRequestKind::Help:
      return "requests: status (the status as text), status json (the same as JSON), help\n";
    case tStatusRequestKind::TooLong:
      return Format("error: no request line within %d bytes\n", KALVOR_STATUS_REQUEST_LIMIT);
    case tStatusRequestKind::Unknown:
      return "error: unknown request \"" + request.Shown + "\"; send status, status json or help\n";
    case tStatusRequestKind::None:
    case tStatusRequestKind::Text:
    case tStatusRequestKind::Json:
      break;
  }
  return {};
}
