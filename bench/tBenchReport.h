// Everything one benchmark run measured, for the table it prints.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "tLatencies.h"
#include "tMeasurer.h"
#include "uChildRuns.h"

struct tMeasured {
  std::string Name;
  std::array<tLatencies, BenchCommandCount> Latency;
  // Each round's median, for the ratios.
  std::array<std::vector<double>, BenchCommandCount> RoundMedians;
  double ServerCpuSeconds = 0;
  size_t Commands = 0;
  // Round trips per command; empty when they were not counted.
  std::vector<double> Trips;
};

struct tBenchReport {
  int Rounds = 0;
  int PerRound = 0;
  std::vector<tMeasured> Measured;
  int Queued = 0;
  std::array<double, BenchCommandCount> QueuedPerSecond{};
  double MixedQueuedPerSecond = 0;
  tLatencies CostOneThread;
  tLatencies CostEightThreads;
  // The same while the status channel is asked StatusPerSecond times a second.
  int StatusPerSecond = 0;
  double StatusRate = 0;
  tLatencies CostPolledOneThread;
  tLatencies CostPolledEightThreads;
  std::vector<tScaleResult> Scale;
  int MemoryFirst = 0;
  int MemoryAll = 0;
  tMemoryResult Memory;
};

// Index of the measurers in tBenchReport::Measured.
enum tMeasurerIndex {
  KalvorQuiet,
  KalvorVerbose,
  OldFloor,
  SociOneTime,
  SociPrepared,
  BestCase,
  // LogLevel 1 without the request watch: what the watch costs.
  KalvorUnwatched,
  // LogLevel 1 with its status channel asked 1000 times a second: what that costs.
  KalvorPolled,
};

void PrintReport(const tBenchReport& report);
