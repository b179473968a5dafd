// The fault soak: one host process loads the built plugin, four host threads
// queue a mixed stream of commands 100, 101 and 102 while the loopback server
// is killed and restarted, stopped for longer than a command's attempts take,
// and frozen; then every answer, row and figure is checked.
//
//   kalvor_fault_soak [--kills N] [--between-ms N]
//
// Needs the loopback server and the right to kill it: run it through
// scripts/soak.sh, which takes the server lock. Exit status 0 when every check
// holds, 1 when one fails, 2 on a wrong command line or a failed set-up.
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

namespace {
constexpr int Senders = 4;
constexpr auto Settle = std::chrono::seconds(3);
constexpr auto DrainPatience = std::chrono::seconds(120);
// Far more commands a second than the plugin answers: room for all of them.
constexpr size_t MostCommandsPerSecond = 3000;

size_t RecordCapacity(const tFaultPlan& plan) {
  const auto faults = std::chrono::duration_cast<std::chrono::seconds>(
      plan.Between * (plan.Kills + 3) + plan.StopFor + plan.FreezeFor + Settle);
  return static_cast<size_t>(faults.count() + 10) * MostCommandsPerSecond;
}

bool ParseArguments(int argc, char** argv, tFaultPlan& plan) {
  for (int index = 1; index + 1 < argc; index += 2) {
    const std::string name = argv[index];
    const int value = std::atoi(argv[index + 1]);
    if (name == "--kills" && value >= 0)
      plan.Kills = value;
    else if (name == "--between-ms" && value > 0)
      plan.Between = std::chrono::milliseconds(value);
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
  traffic.StartSenders(Senders);
  std::this_thread::sleep_for(Settle);
  record.Baseline = ReadProcessFigures();
  std::printf("faults: %d kills %lld ms apart, a stop of %lld ms, a freeze of %lld ms\n",
              plan.Kills, static_cast<long long>(plan.Between.count()),
              static_cast<long long>(plan.StopFor.count()),
              static_cast<long long>(plan.FreezeFor.count()));
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
  tFaultPlan plan;
  if (!ParseArguments(argc, argv, plan)) {
    std::fprintf(stderr, "usage: %s [--kills N] [--between-ms N]\n", argv[0]);
    return 2;
  }
  try {
    return RunSoak(plan);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "soak set-up failed: %s\n", error.what());
    return 2;
  }
}
