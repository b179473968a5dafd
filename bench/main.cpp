// Kalvor beside the ways a client can reach the same menu database: end to
// end at LogLevel 1 and 255, the round trips of the old design on the raw
// client library, SOCI written plainly and with statements prepared once, and
// the server's best case, measured side by side in interleaved rounds; then
// round trips, throughput, scale, Command_Plugin's cost and memory. Prints one
// table. Needs the loopback server; run it through scripts/bench.sh.
//
//   kalvor_bench [--smoke] [--rounds N] [--count N] [--queued N] [--processes 1,2,4,8]
//                [--scale-seconds N] [--calls N] [--memory N M] [--plugin PATH]
//
// --plugin measures another build of the plugin (such as an older one) in
// place of the one this tree built. --smoke runs small counts and fails
// (exit status 2) unless Kalvor's round trips per command are within 2, 5 and 3.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TestDatabase.h"
#include "tBenchReport.h"
#include "tBestCaseMeasurer.h"
#include "tFloorMeasurer.h"
#include "tKalvorMeasurer.h"
#include "tSociMeasurer.h"
#include "uChildRuns.h"
#include "uCommandCost.h"
#include "uProcStats.h"
#include "uRoundTrips.h"

namespace {
constexpr int WarmUps = 3;
constexpr int EightThreads = 8;
// How often a monitoring client asks the status channel beside the commands.
constexpr int StatusPerSecond = 1000;
// Command_Plugin's cost is measured with and without it in turn, this many times each.
constexpr int CostTurns = 4;

struct tOptions {
  int Rounds = 7;
  int Count = 200;
  int Queued = 1000;
  std::vector<int> Processes = {1, 2, 4, 8};
  double ScaleSeconds = 10;
  int Calls = 40000;
  int MemoryFirst = 1000;
  int MemoryAll = 100000;
  // Fail unless Kalvor's round trips were counted and are within their limits.
  bool CheckTrips = false;
  // The worker modes: one measurer under strace, one host of the scale run,
  // the memory run.
  std::string Plugin = KALVOR_PLUGIN_PATH;
  std::string Mode;
  std::string Db;
  int Measurer = 0;
  long long StartAt = 0;
};

std::vector<int> NumberList(const std::string& text) {
  std::vector<int> numbers;
  std::istringstream list(text);
  for (std::string item; std::getline(list, item, ',');) numbers.push_back(std::stoi(item));
  return numbers;
}

void SetSmokeCounts(tOptions& options) {
  options.CheckTrips = true;
  options.Rounds = 2;
  options.Count = 5;
  options.Queued = 50;
  options.Processes = {1, 2};
  options.ScaleSeconds = 1;
  options.Calls = 2000;
  options.MemoryFirst = 50;
  options.MemoryAll = 200;
}

using tSetter = std::function<void(tOptions&, const std::string&)>;

const std::map<std::string, tSetter>& Setters() {
  static const std::map<std::string, tSetter> setters = {
      {"--rounds", [](tOptions& o, const std::string& v) { o.Rounds = std::stoi(v); }},
      {"--count", [](tOptions& o, const std::string& v) { o.Count = std::stoi(v); }},
      {"--queued", [](tOptions& o, const std::string& v) { o.Queued = std::stoi(v); }},
      {"--processes", [](tOptions& o, const std::string& v) { o.Processes = NumberList(v); }},
      {"--scale-seconds", [](tOptions& o, const std::string& v) { o.ScaleSeconds = std::stod(v); }},
      {"--seconds", [](tOptions& o, const std::string& v) { o.ScaleSeconds = std::stod(v); }},
      {"--calls", [](tOptions& o, const std::string& v) { o.Calls = std::stoi(v); }},
      {"--plugin", [](tOptions& o, const std::string& v) { o.Plugin = v; }},
      {"--mode", [](tOptions& o, const std::string& v) { o.Mode = v; }},
      {"--db", [](tOptions& o, const std::string& v) { o.Db = v; }},
      {"--measurer", [](tOptions& o, const std::string& v) { o.Measurer = std::stoi(v); }},
      {"--start-at", [](tOptions& o, const std::string& v) { o.StartAt = std::stoll(v); }},
  };
  return setters;
}

tOptions ParseOptions(int argc, char** argv) {
  tOptions options;
  for (int index = 1; index < argc; ++index) {
    const std::string name = argv[index];
    const auto setter = Setters().find(name);
    if (name == "--smoke") {
      SetSmokeCounts(options);
    } else if (name == "--memory" && index + 2 < argc) {
      options.MemoryFirst = std::stoi(argv[++index]);
      options.MemoryAll = std::stoi(argv[++index]);
    } else if (setter != Setters().end() && index + 1 < argc) {
      setter->second(options, argv[++index]);
    } else {
      throw std::invalid_argument("unknown or incomplete option " + name);
    }
  }
  return options;
}

std::unique_ptr<tMeasurer> MakeMeasurer(int index, const std::string& db,
                                        const std::string& plugin) {
  const std::string password = TestDatabase::Password();
  switch (index) {
    case KalvorQuiet:
      return std::make_unique<tKalvorMeasurer>(plugin, db, password, 1);
    case KalvorVerbose:
      return std::make_unique<tKalvorMeasurer>(plugin, db, password, 255);
    case OldFloor:
      return std::make_unique<tFloorMeasurer>(db, password);
    case SociOneTime:
      return std::make_unique<tSociMeasurer>(db, password, false);
    case SociPrepared:
      return std::make_unique<tSociMeasurer>(db, password, true);
    case BestCase:
      return std::make_unique<tBestCaseMeasurer>(db, password);
    case KalvorUnwatched:
      return std::make_unique<tKalvorMeasurer>(plugin, db, password, 1, 0);
    default:
      return std::make_unique<tKalvorMeasurer>(plugin, db, password, 1, std::nullopt,
                                               StatusPerSecond);
  }
}
constexpr int MeasurerCount = KalvorPolled + 1;

// Each 102 records a key of its own.
std::string NextKey() {
  static long counter = 0;
  return "bench-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

void WarmUp(tMeasurer& measurer) {
  measurer.BeginRound();
  for (int command = 0; command < BenchCommandCount; ++command)
    for (int run = 0; run < WarmUps; ++run)
      measurer.Run(static_cast<tBenchCommand>(command), NextKey());
  measurer.EndRound();
}

double Microseconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
      .count();
}

// One round: every measurer, in an order that turns with the round, answers
// count commands of each kind.
void RunRound(int round, int count, std::vector<std::unique_ptr<tMeasurer>>& measurers,
              tBenchReport& report) {
  for (int step = 0; step < MeasurerCount; ++step) {
    const int index = (round + step) % MeasurerCount;
    tMeasured& measured = report.Measured[index];
    const double cpuBefore = ServerCpuSeconds();
    measurers[index]->BeginRound();
    for (int command = 0; command < BenchCommandCount; ++command) {
      tLatencies latencies;
      for (int run = 0; run < count; ++run) {
        const std::string key = NextKey();
        const auto start = std::chrono::steady_clock::now();
        measurers[index]->Run(static_cast<tBenchCommand>(command), key);
        latencies.Add(Microseconds(start));
      }
      measured.RoundMedians[command].push_back(latencies.Median());
      measured.Latency[command].Append(latencies);
    }
    measurers[index]->EndRound();
    measured.ServerCpuSeconds += ServerCpuSeconds() - cpuBefore;
    measured.Commands += static_cast<size_t>(count) * BenchCommandCount;
  }
}

std::vector<std::string> WorkerCommand(const std::string& self, const std::string& mode,
                                       const std::string& db, const tOptions& options) {
  return {self, "--mode", mode, "--db", db, "--plugin", options.Plugin};
}

void MeasureQueued(tKalvorMeasurer& kalvor, int queued, tBenchReport& report) {
  report.Queued = queued;
  std::vector<std::vector<uint8_t>> mixed;
  for (int command = 0; command < BenchCommandCount; ++command) {
    std::vector<std::vector<uint8_t>> requests;
    for (int index = 0; index < queued; ++index)
      requests.push_back(BenchRequest(static_cast<tBenchCommand>(command), NextKey()));
    report.QueuedPerSecond[command] = queued / kalvor.RunQueued(requests);
  }
  for (int index = 0; index < queued; ++index)
    mixed.push_back(BenchRequest(static_cast<tBenchCommand>(index % BenchCommandCount), NextKey()));
  report.MixedQueuedPerSecond = queued / kalvor.RunQueued(mixed);
}

// Without and with the status asked, in turns.
void MeasureCommandPluginCost(tKalvorMeasurer& quiet, tKalvorMeasurer& polled, int calls,
                              tBenchReport& report) {
  const int perTurn = std::max(calls / CostTurns, EightThreads);
  for (int turn = 0; turn < CostTurns; ++turn) {
    report.CostOneThread.Append(CommandPluginCost(quiet.Host(), 1, perTurn));
    report.CostEightThreads.Append(
        CommandPluginCost(quiet.Host(), EightThreads, perTurn / EightThreads));
    polled.BeginRound();
    report.CostPolledOneThread.Append(CommandPluginCost(polled.Host(), 1, perTurn));
    report.CostPolledEightThreads.Append(
        CommandPluginCost(polled.Host(), EightThreads, perTurn / EightThreads));
    polled.EndRound();
  }
  report.StatusPerSecond = StatusPerSecond;
  report.StatusRate = polled.Poller()->Rate();
}

// Round trips are counts, not times: a healthy attachment makes exactly as
// many on any machine, so a command that makes more has regressed.
int CheckKalvorTrips(const tMeasured& kalvor) {
  constexpr double Limits[BenchCommandCount] = {2, 5, 3};
  bool within = kalvor.Trips.size() == BenchCommandCount;
  for (size_t command = 0; within && command < kalvor.Trips.size(); ++command)
    within = kalvor.Trips[command] >= 1 && kalvor.Trips[command] <= Limits[command];
  if (!within)
    std::fprintf(stderr,
                 "kalvor_bench: Kalvor's round trips per command are not within 2, 5 "
                 "and 3, or were not counted\n");
  return within ? 0 : 2;
}

int RunBenchmark(const tOptions& options, const std::string& self) {
  TestDatabase database;
  database.RunScript(std::string(KALVOR_SOURCE_DIR) + "/sql/demo-data.sql");
  const std::string db = database.ConnectionString();
  std::printf("Kalvor benchmark: %s against %s\n", options.Plugin.c_str(), db.c_str());
  std::fflush(stdout);

  tBenchReport report;
  report.Rounds = options.Rounds;
  report.PerRound = options.Count;
  std::vector<std::unique_ptr<tMeasurer>> measurers;
  for (int index = 0; index < MeasurerCount; ++index) {
    measurers.push_back(MakeMeasurer(index, db, options.Plugin));
    report.Measured.emplace_back();
    report.Measured.back().Name = measurers.back()->Name();
    WarmUp(*measurers.back());
  }
  for (int round = 0; round < options.Rounds; ++round)
    RunRound(round, options.Count, measurers, report);
  // The status client's own sends and receives would count as round trips.
  for (int index = 0; index < KalvorPolled; ++index) {
    std::vector<std::string> traced = WorkerCommand(self, "trips", db, options);
    traced.insert(traced.end(), {"--measurer", std::to_string(index)});
    report.Measured[index].Trips = CountRoundTrips(traced);
  }

  auto& kalvor = static_cast<tKalvorMeasurer&>(*measurers[KalvorQuiet]);
  MeasureQueued(kalvor, options.Queued, report);
  MeasureCommandPluginCost(kalvor, static_cast<tKalvorMeasurer&>(*measurers[KalvorPolled]),
                           options.Calls, report);
  measurers.clear();

  for (const int processes : options.Processes)
    report.Scale.push_back(
        RunScale(WorkerCommand(self, "scale", db, options), processes, options.ScaleSeconds));
  std::vector<std::string> memory = WorkerCommand(self, "memory", db, options);
  memory.insert(memory.end(), {"--memory", std::to_string(options.MemoryFirst),
                               std::to_string(options.MemoryAll)});
  report.MemoryFirst = options.MemoryFirst;
  report.MemoryAll = options.MemoryAll;
  report.Memory = RunMemory(memory);
  PrintReport(report);
  return options.CheckTrips ? CheckKalvorTrips(report.Measured[KalvorQuiet]) : 0;
}

// Under strace: TripSamples marked commands of each kind after a warm-up.
int TraceMeasurer(const tOptions& options) {
  const auto measurer = MakeMeasurer(options.Measurer, options.Db, options.Plugin);
  WarmUp(*measurer);
  for (int command = 0; command < BenchCommandCount; ++command)
    for (int run = 0; run < TripSamples; ++run) {
      MarkCommandInTrace();
      measurer->Run(static_cast<tBenchCommand>(command), NextKey());
    }
  MarkCommandInTrace();
  return 0;
}

// One host of the scale run: a mix of commands, one in flight, for the seconds given.
int ScaleHost(const tOptions& options) {
  tKalvorMeasurer kalvor(options.Plugin, options.Db, TestDatabase::Password(), 1);
  WarmUp(kalvor);
  std::this_thread::sleep_until(
      std::chrono::system_clock::time_point(std::chrono::milliseconds(options.StartAt)));
  const auto stop = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(options.ScaleSeconds));
  tLatencies latencies;
  for (int index = 0; std::chrono::steady_clock::now() < stop; ++index) {
    const auto start = std::chrono::steady_clock::now();
    kalvor.Run(static_cast<tBenchCommand>(index % BenchCommandCount), NextKey());
    latencies.Add(Microseconds(start));
  }
  std::printf("%zu %.0f\n", latencies.Count(), latencies.P99());
  return 0;
}

int MemoryHost(const tOptions& options) {
  tKalvorMeasurer kalvor(options.Plugin, options.Db, TestDatabase::Password(), 1);
  long afterFirst = 0;
  for (int index = 0; index < options.MemoryAll; ++index) {
    kalvor.Run(static_cast<tBenchCommand>(index % BenchCommandCount), NextKey());
    if (index + 1 == options.MemoryFirst) afterFirst = ResidentKiB();
  }
  std::printf("%ld %ld\n", afterFirst, ResidentKiB());
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  try {
    const tOptions options = ParseOptions(argc, argv);
    if (options.Mode == "trips") return TraceMeasurer(options);
    if (options.Mode == "scale") return ScaleHost(options);
    if (options.Mode == "memory") return MemoryHost(options);
    return RunBenchmark(options, std::filesystem::read_symlink("/proc/self/exe").string());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kalvor_bench: %s\n", error.what());
    return 1;
  }
}
