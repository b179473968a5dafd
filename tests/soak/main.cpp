// The fault soak: one host process loads the built plugin, four host threads
// queue a mixed stream of commands 100, 101 and 102 while the loopback server
// is killed and restarted, stopped for longer than a command's attempts take,
// and frozen; then every answer, row and figure is checked.
//
//   kalvor_fault_soak [--kills N] [--stops N] [--stop-ms N] [--freezes N]
//                     [--freeze-ms N] [--between-ms N] [--rate N]
//   kalvor_fault_soak --hosts N [--outage stop|freeze] [--outage-ms N]
//                     [--host-rate N] [--plugin PATH]
//
// The second form runs many hosts, each a process of its own, through one
// outage (uOutageHosts.h).
//
// Needs the loopback server and the right to kill it: run it through
// scripts/soak.sh, which takes the server lock. Exit status 0 when every check
// holds, 1 when one fails, 2 on a wrong command line or a failed set-up.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <regex>
#include <string>

#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/PrivateFirebirdServer.h"
#include "support/TestDatabase.h"
#include "tFaultSchedule.h"
#include "tPluginHost.h"
#include "tSoakTraffic.h"
#include "tSoakVerdict.h"
#include "uOutageHosts.h"

namespace {
constexpr int Senders = 4;
constexpr auto Settle = std::chrono::seconds(3);
constexpr auto DrainPatience = std::chrono::seconds(120);
// Far more commands a second than the plugin answers: room for all of them.
constexpr size_t MostCommandsPerSecond = 3000;

size_t RecordCapacity(const tFaultPlan& plan) {
  const auto faults = std::chrono::duration_cast<std::chrono::seconds>(plan.Length() + Settle);
  const size_t perSecond = plan.Rate > 0 ? static_cast<size_t>(plan.Rate) : MostCommandsPerSecond;
  return static_cast<size_t>(faults.count() + 10) * perSecond;
}

bool ParseArguments(int argc, char** argv, tFaultPlan& plan, tOutagePlan& outage) {
  for (int index = 1; index + 1 < argc; index += 2) {
    const std::string name = argv[index];
    const std::string text = argv[index + 1];
    const int value = std::atoi(text.c_str());
    const auto ms = std::chrono::milliseconds(value);
    if (name == "--kills" && value >= 0)
      plan.Kills = value;
    else if (name == "--stops" && value >= 0)
      plan.Stops = value;
    else if (name == "--stop-ms" && value > 0)
      plan.StopFor = ms;
    else if (name == "--freezes" && value >= 0)
      plan.Freezes = value;
    else if (name == "--freeze-ms" && value > 0)
      plan.FreezeFor = ms;
    else if (name == "--between-ms" && value > 0)
      plan.Between = ms;
    else if (name == "--rate" && value >= 0)
      plan.Rate = value;
    else if (name == "--hosts" && value > 0)
      outage.Hosts = value;
    else if (name == "--outage" && (text == "stop" || text == "freeze"))
      outage.Kind = text == "stop" ? tFaultKind::LongStop : tFaultKind::Freeze;
    else if (name == "--outage-ms" && value >= 1000)
      outage.For = ms;
    else if (name == "--host-rate" && value > 0)
      outage.Rate = value;
    else if (name == "--plugin")
      outage.Plugin = text;
    else
      return false;
  }
  return argc % 2 == 1;
}

std::map<std::string, int> ProtocolRows(const TestDatabase& database) {
  std::map<std::string, int> rows;
  const std::regex row("(\\S+)\\s+([0-9]+)");
  for (const std::string& line :
       database.QueryRows("SELECT ITEM_KEY, COUNT(*) FROM MENU_ACTIONS GROUP BY ITEM_KEY;")) {
    std::smatch match;
    if (std::regex_match(line, match, row)) rows[match[1]] = std::stoi(match[2]);
  }
  return rows;
}

// The keys of the failure lines that end in "commit outcome unknown".
std::set<std::string> KeysInDoubt(const std::string& log) {
  static const std::string marker = "\"] - commit outcome unknown";
  static const std::string keyStart = "item_key=\"";
  std::set<std::string> keys;
  for (size_t end = log.find(marker); end != std::string::npos; end = log.find(marker, end + 1)) {
    const size_t start = log.rfind(keyStart, end);
    if (start != std::string::npos)
      keys.insert(log.substr(start + keyStart.size(), end - start - keyStart.size()));
  }
  return keys;
}

void Progress(const tSoakTraffic& traffic, const char* what) {
  std::printf("%6.1f s  %s\n", traffic.Now() / 1000, what);
  std::fflush(stdout);
}

int RunSoak(const tFaultPlan& plan) {
  tSoakTraffic traffic(std::chrono::steady_clock::now(), RecordCapacity(plan));
  // The soak kills, stops and freezes a server of its own, never the system's.
  PrivateFirebirdServer server;
  TestDatabase database(server.Host());
  database.RunScript(std::filesystem::path(KALVOR_SOURCE_DIR) / "sql" / "demo-data.sql");
  PluginCopy plugin;
  plugin.WriteIni("[Main]\nDBName=" + database.ConnectionString() + "\nDBUser=" +
                  TestDatabase::User() + "\nDBPWD=" + TestDatabase::Password() + "\nLogLevel=1\n");
  LogTail log(HostLogsFolder());
  tPluginHost host(plugin.LibraryPath());
  traffic.Attach(host);
  Progress(traffic, "plugin loaded on a fresh demo database");

  tSoakRecord record;
  traffic.AskEveryReadingOnce();
  traffic.StartSenders(Senders, plan.Rate);
  std::this_thread::sleep_for(Settle);
  record.Baseline = ReadProcessFigures();
  std::printf("faults %lld ms apart: %d kills, %d stops of %lld ms, %d freezes of %lld ms; %s\n",
              static_cast<long long>(plan.Between.count()), plan.Kills, plan.Stops,
              static_cast<long long>(plan.StopFor.count()), plan.Freezes,
              static_cast<long long>(plan.FreezeFor.count()),
              plan.Rate > 0 ? (std::to_string(plan.Rate) + " commands a second").c_str()
                            : "commands as fast as they are answered");
  Progress(traffic, "senders running, faults begin");
  try {
    record.Events = RunFaults(
        plan, server, [&] { return traffic.Now(); }, record.During);
  } catch (...) {
    // Senders still running would call into the plugin after it is unloaded.
    traffic.StopSenders();
    host.Finalize();
    throw;
  }
  traffic.StopSenders();
  record.Drained = traffic.WaitDrained(DrainPatience);
  record.End = ReadProcessFigures();
  host.Finalize();
  Progress(traffic, "faults over, queue drained, plugin finalized");

  record.Sent = traffic.Sent();
  record.Refused = traffic.Refused();
  record.Callbacks = traffic.Callbacks();
  if (traffic.RanOutOfRoom()) std::printf("senders stopped early: the records were full\n");
  record.Rows = ProtocolRows(database);
  record.OutcomeUnknown = KeysInDoubt(log.MainText());
  Progress(traffic, "rows and log read");
  return JudgeSoak(record) ? 0 : 1;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--outage-host")
    return RunOutageHost(argv[2], std::atoi(argv[3]), std::atoll(argv[4]), std::atoi(argv[5]));
  tFaultPlan plan;
  tOutagePlan outage;
  if (!ParseArguments(argc, argv, plan, outage)) {
    std::fprintf(stderr,
                 "usage: %s [--kills N] [--stops N] [--stop-ms N] [--freezes N] [--freeze-ms N] "
                 "[--between-ms N] [--rate N]\n       %s --hosts N [--outage stop|freeze] "
                 "[--outage-ms N] [--host-rate N] [--plugin PATH]\n",
                 argv[0], argv[0]);
    return 2;
  }
  try {
    const bool manyHosts = std::find(argv, argv + argc, std::string("--hosts")) != argv + argc;
    return manyHosts ? RunOutage(outage, argv[0]) : RunSoak(plan);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "soak set-up failed: %s\n", error.what());
    return 2;
  }
}
