// The status channel's words end to end without a socket: what a client may
// send, what the plugin answers from a snapshot, and the one line and exit
// status kalvor-host health makes of the plugin's JSON.
#include <gtest/gtest.h>

#include <kalvor/status_channel.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "plugin/uStatusAnswer.h"
#include "plugin/uStatusRequest.h"
#include "uStatusCommands.h"
#include "worker/uHourlyFigures.h"

using nlohmann::json;

namespace {
constexpr size_t Limit = KALVOR_STATUS_REQUEST_LIMIT;

tStatusRequestKind KindOf(const std::string& bytes) {
  return ParseStatusRequest(bytes, Limit).Kind;
}

// A plugin with a database, three commands queued and nothing wrong.
tStatusSnapshot Healthy() {
  tStatusSnapshot snapshot;
  snapshot.Name = "DYNAMIC_MENU";
  snapshot.Version = "0.9.0";
  snapshot.ProcessId = 4242;
  snapshot.StartedAt = "2026-12-09 01:00:00";
  snapshot.UptimeSeconds = 4 * 3600 + 60;
  snapshot.IniPath = "/opt/host/Kalvor.ini";
  snapshot.Database = "127.0.0.1:/var/lib/menu.fdb";
  snapshot.DatabaseUser = "KALVOR";
  snapshot.Connection = {tConnectionState::Connected, "2026-12-09 01:00:01", 14459.0, "", 0};
  snapshot.QueueLength = 3;
  snapshot.QueueLimit = 1000;
  snapshot.QueueBytes = 96;
  snapshot.QueueByteLimit = 1 << 20;
  return snapshot;
}

// Unreachable for the seconds given, 4 commands failed, the client library's two lines.
tStatusSnapshot Unreachable(double seconds) {
  tStatusSnapshot snapshot = Healthy();
  snapshot.Connection = {tConnectionState::Unreachable, "2026-12-09 05:00:00", seconds,
                         "Unable to complete network request to host \"127.0.0.1\".\r\n"
                         "Failed to establish a connection.",
                         4};
  return snapshot;
}

tHealthVerdict Judge(const std::vector<tStatusSnapshot>& snapshots,
                     const std::vector<std::string>& unasked = {}) {
  std::vector<json> statuses;
  for (const tStatusSnapshot& snapshot : snapshots)
    statuses.push_back(json::parse(StatusJson(snapshot)));
  return JudgeHealth(statuses, unasked, tHealthLimits{});
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
}  // namespace

TEST(StatusRequest, OneLineOfWordsInAnyCaseElseAnErrorThatShowsNoRawBytes) {
  EXPECT_EQ(KindOf("status\n"), tStatusRequestKind::Text);
  EXPECT_EQ(KindOf("  STATUS \r\n"), tStatusRequestKind::Text);
  EXPECT_EQ(KindOf("status"), tStatusRequestKind::Text) << "a client that closes without LF";
  EXPECT_EQ(KindOf("Status\tJSON\n"), tStatusRequestKind::Json);
  EXPECT_EQ(KindOf("help\nstatus\n"), tStatusRequestKind::Help) << "the first line only";
  EXPECT_EQ(KindOf(""), tStatusRequestKind::None);
  EXPECT_EQ(KindOf("\n"), tStatusRequestKind::Unknown);
  EXPECT_EQ(KindOf("status json please\n"), tStatusRequestKind::Unknown);
  EXPECT_EQ(KindOf(std::string(Limit - 1, 'x')), tStatusRequestKind::Unknown);
  EXPECT_EQ(KindOf(std::string(Limit, 'x')), tStatusRequestKind::TooLong);
  EXPECT_EQ(KindOf(std::string(Limit - 1, 'x') + "\n"), tStatusRequestKind::Unknown);

  const tStatusRequest odd = ParseStatusRequest("st\x01\xff" + std::string(60, 'a') + "\n", Limit);
  EXPECT_EQ(odd.Shown, "st??" + std::string(36, 'a') + "...");
  EXPECT_EQ(PlainAnswer(odd),
            "error: unknown request \"" + odd.Shown + "\"; send status, status json or help\n");
  EXPECT_EQ(PlainAnswer({tStatusRequestKind::TooLong, {}}),
            "error: no request line within " + std::to_string(Limit) + " bytes\n");
  EXPECT_EQ(PlainAnswer({tStatusRequestKind::Json, {}}), "") << "a status needs its snapshot";
}

// Texts from outside (the server's words, paths, failure lines) keep to
// their one line in the text answer and keep their bytes in the JSON.
TEST(StatusAnswer, TextKeepsToItsLinesAndJsonKeepsTheWords) {
  tStatusSnapshot snapshot = Unreachable(75.5);
  snapshot.InProgress = tCommandInProgress{17, 101, 2500};
  snapshot.SinceStart.Commands = {5, 6, 7, 1};
  snapshot.SinceStart.ResultCodes = {14, 4, 1, 0, 0};
  snapshot.DatabaseTotals = {1, 9, 2, 3, 1, 2};
  snapshot.LatencyMedian = 1500;
  snapshot.LatencyP99 = 2750123;
  snapshot.RecentFailures = {"05:00:01.200 Error while processing X Msg=\"a\r\nb\""};
  snapshot.LogFile = "/opt/host/Logs/2026_12_09/05_Kalvor.so.log";

  const std::string text = StatusText(snapshot);
  EXPECT_EQ(text.find('\r'), std::string::npos) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 14 + 1) << text;
  EXPECT_TRUE(Has(text,
                  "plugin: DYNAMIC_MENU 0.9.0, pid 4242, started 2026-12-09 01:00:00 "
                  "(up 4 h 1 min)\n"))
      << text;
  EXPECT_TRUE(Has(text, "database: 127.0.0.1:/var/lib/menu.fdb as KALVOR\n")) << text;
  EXPECT_TRUE(Has(text,
                  "connection: unreachable since 2026-12-09 05:00:00 (1 min 15 s), 4 "
                  "commands failed since: Unable to complete network request to host "
                  "\"127.0.0.1\".  Failed to establish a connection.\n"))
      << text;
  EXPECT_TRUE(Has(text, "queue: 3 of 1000 commands, 96 of 1048576 bytes\n")) << text;
  EXPECT_TRUE(Has(text, "in progress: command 101 (CommandId 17) for 2500 ms\n")) << text;
  EXPECT_TRUE(Has(text, "commands since start: 100=5 101=6 102=7 other=1\n")) << text;
  EXPECT_TRUE(Has(text,
                  "database since start: retries deadlock=1 connection loss=9; "
                  "reconnects=2; requests cut off=3; outages=2; attaches left behind "
                  "now=1\n"))
      << text;
  EXPECT_TRUE(Has(text,
                  "latency this hour: Command_Plugin to callback ms median=1.500 "
                  "p99=2750.123\n"))
      << text;
  EXPECT_TRUE(Has(text, "failure: 05:00:01.200 Error while processing X Msg=\"a  b\"\n")) << text;

  const json status = json::parse(StatusJson(snapshot));
  EXPECT_EQ(status["connection"]["reason"], snapshot.Connection.Reason);
  EXPECT_EQ(status["connection"]["seconds"], 75.5);
  EXPECT_EQ(status["in_progress"]["command_id"], 17);
  EXPECT_EQ(status["since_start"]["result_codes"]["1"], 4);
  EXPECT_EQ(status["database_since_start"]["outages"], 2);
  EXPECT_EQ(status["this_hour"]["latency_ms_p99"], 2750.123);
  EXPECT_EQ(status["recent_failures"][0], snapshot.RecentFailures[0]);
  EXPECT_TRUE(json::parse(StatusJson(Healthy()))["in_progress"].is_null());
}

// One line per exit status of the Nagios convention, with performance data.
TEST(Health, EachExitStatusWithItsLine) {
  const tHealthVerdict ok = Judge({Healthy()});
  EXPECT_EQ(ok.Status, Health_Ok);
  EXPECT_EQ(ok.Line,
            "KALVOR OK - DYNAMIC_MENU pid 4242: connected, queue 3, 0 failed in the last minute | "
            "'queue_4242'=3;50;1000;0;1000 'failures_4242'=0;5;;0 'unreachable_4242'=0.0s;;30.0;0");

  const tHealthVerdict warning = Judge({Unreachable(12.34)});
  EXPECT_EQ(warning.Status, Health_Warning);
  EXPECT_EQ(warning.Line,
            "KALVOR WARNING - DYNAMIC_MENU pid 4242: database unreachable for 12.3 s (limit "
            "30.0 s), 4 commands failed: Unable to complete network request to host "
            "\"127.0.0.1\". | 'queue_4242'=3;50;1000;0;1000 'failures_4242'=0;5;;0 "
            "'unreachable_4242'=12.3s;;30.0;0");

  const tHealthVerdict critical = Judge({Unreachable(45)});
  EXPECT_EQ(critical.Status, Health_Critical);
  EXPECT_EQ(critical.Line.rfind("KALVOR CRITICAL - DYNAMIC_MENU pid 4242: database unreachable "
                                "for 45.0 s (limit 30.0 s)",
                                0),
            0u)
      << critical.Line;

  const tHealthVerdict unknown = Judge({}, {"/run/kalvor: Permission denied"});
  EXPECT_EQ(unknown.Status, Health_Unknown);
  EXPECT_EQ(unknown.Line, "KALVOR UNKNOWN - /run/kalvor: Permission denied");
  EXPECT_EQ(Judge({}).Line,
            "KALVOR UNKNOWN - no running plugin has its status channel open (StatusChannel=1 in "
            "its ini)");
}

TEST(Health, QueueFailuresAndAMissingDatabaseAreJudgedEachAndTheWorstPluginCounts) {
  tStatusSnapshot busy = Healthy();
  busy.QueueLength = 51;
  busy.FailuresLastMinute = 6;
  const tHealthVerdict warning = Judge({busy});
  EXPECT_EQ(warning.Status, Health_Warning);
  EXPECT_TRUE(Has(warning.Line,
                  ": queue 51 above 50; 6 commands failed in the last minute "
                  "(limit 5) |"))
      << warning.Line;

  tStatusSnapshot full = Healthy();
  full.QueueBytes = full.QueueByteLimit;
  EXPECT_EQ(Judge({full}).Status, Health_Critical) << "a queue full by its bytes refuses commands";
  full = Healthy();
  full.QueueLength = full.QueueLimit;
  EXPECT_TRUE(Has(Judge({full}).Line, "queue full at 1000 commands: commands are refused"));
  tStatusSnapshot nameless = Healthy();
  nameless.Database.clear();
  EXPECT_EQ(Judge({nameless}).Status, Health_Critical);

  // Two plugins: both told, the worse counts; what could not be asked makes
  // an OK box UNKNOWN but does not hide a WARNING.
  tStatusSnapshot other = Unreachable(45);
  other.ProcessId = 77;
  const tHealthVerdict both = Judge({Healthy(), other});
  EXPECT_EQ(both.Status, Health_Critical);
  EXPECT_TRUE(Has(both.Line, "DYNAMIC_MENU pid 4242: connected") &&
              Has(both.Line, "; DYNAMIC_MENU pid 77: database unreachable"))
      << both.Line;
  EXPECT_TRUE(Has(both.Line, "'queue_4242'=") && Has(both.Line, " 'queue_77'=")) << both.Line;
  EXPECT_EQ(Judge({Healthy()}, {"pid 9: no answer"}).Status, Health_Unknown);
  EXPECT_EQ(Judge({busy}, {"pid 9: no answer"}).Status, Health_Warning);

  json lacking = json::parse(StatusJson(Healthy()));
  lacking.erase("queue");
  EXPECT_THROW(JudgeHealth({lacking}, {}, tHealthLimits{}), json::exception);
}

// The figures the status channel reads: since the start, this hour, the
// failures of the last minute, and the database totals across hours.
TEST(HourlyFigures, DescribeGivesSinceStartThisHourAndTheDatabaseTotals) {
  tHourlyFigures figures(4242);
  const auto at = [](int hour, int minute) {
    return tFiguresTime{{2026, 12, 9, hour, minute, 0, 0},
                        std::chrono::steady_clock::time_point(std::chrono::hours(hour) +
                                                              std::chrono::minutes(minute))};
  };
  const tFiguresTime one = at(13, 5);
  const tFiguresTime two = at(14, 1);
  figures.CountAnswer(one, 100, 0, 1000);
  figures.CountAnswer(one, 102, 1, 9000);
  figures.CountDatabase(tDatabaseEvent::Reconnect);
  figures.CountDatabase(tDatabaseEvent::Reconnect);
  figures.CountDatabase(tDatabaseEvent::RequestCutOff);
  ASSERT_TRUE(figures.CloseHourBefore(two));
  figures.CountAnswer(two, 101, 1, 3000);
  figures.CountDatabase(tDatabaseEvent::Reconnect);
  figures.CountDatabase(tDatabaseEvent::Outage);

  tStatusSnapshot snapshot;
  figures.Describe(two, snapshot);
  EXPECT_EQ(snapshot.SinceStart.Commands, (std::array<uint64_t, 4>{1, 1, 1, 0}));
  EXPECT_EQ(snapshot.SinceStart.ResultCodes, (std::array<uint64_t, 5>{1, 2, 0, 0, 0}));
  EXPECT_EQ(snapshot.ThisHour.Commands, (std::array<uint64_t, 4>{0, 1, 0, 0}));
  EXPECT_EQ(snapshot.FailuresLastMinute, 2u);
  EXPECT_EQ(snapshot.DatabaseTotals.Reconnects, 3u) << "the closed hour's and this one's";
  EXPECT_EQ(snapshot.DatabaseTotals.RequestsCutOff, 1u);
  EXPECT_EQ(snapshot.DatabaseTotals.Outages, 1u);
  EXPECT_GT(snapshot.LatencyMedian, 2900u);

  tStatusSnapshot later;
  figures.Describe(at(15, 0), later);
  EXPECT_EQ(later.ThisHour.Commands, (std::array<uint64_t, 4>{})) << "an hour without commands";
  EXPECT_EQ(later.LatencyMedian, 0u);
}
