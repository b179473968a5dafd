// The one table a benchmark run prints.
#include <cstdio>

#include "tBenchReport.h"

namespace {
// The median over rounds of each round's ratio of the two medians.
double RatioOfMedians(const tMeasured& numerator, const tMeasured& denominator, int command) {
  const auto& top = numerator.RoundMedians[command];
  const auto& bottom = denominator.RoundMedians[command];
  std::vector<double> ratios;
  for (size_t round = 0; round < top.size() && round < bottom.size(); ++round)
    if (bottom[round] > 0) ratios.push_back(top[round] / bottom[round]);
  return MedianOf(ratios);
}

void PrintRatio(const tBenchReport& report, const char* label, int top, int bottom) {
  std::printf("  %-44s", label);
  for (int command = 0; command < BenchCommandCount; ++command)
    std::printf("  %14.2f", RatioOfMedians(report.Measured[top], report.Measured[bottom], command));
  std::printf("\n");
}

void PrintLatencies(const tBenchReport& report) {
  std::printf("Latency per command in microseconds, median / p99 (%d rounds of %d per command)\n",
              report.Rounds, report.PerRound);
  std::printf("  %-44s  %14s  %14s  %14s  %9s  %12s\n", "", "100", "101", "102", "round trips",
              "server CPU");
  for (const tMeasured& measured : report.Measured) {
    std::printf("  %-44s", measured.Name.c_str());
    for (int command = 0; command < BenchCommandCount; ++command)
      std::printf("  %6.0f / %5.0f", measured.Latency[command].Median(),
                  measured.Latency[command].P99());
    if (measured.Trips.size() == BenchCommandCount)
      std::printf("  %3.0f/%2.0f/%2.0f", measured.Trips[0], measured.Trips[1], measured.Trips[2]);
    else
      std::printf("  %9s", "n/a");
    const double cpu =
        measured.Commands == 0 ? 0 : measured.ServerCpuSeconds * 1e6 / measured.Commands;
    std::printf("  %7.0f µs\n", cpu);
  }
  std::printf(
      "  (round trips for 100/101/102; server CPU per command of an even mix, from /proc)\n");
  std::printf("Ratios, median over rounds of each round's ratio of medians\n");
  PrintRatio(report, "Kalvor LogLevel 1 / SOCI prepared once", KalvorQuiet, SociPrepared);
  PrintRatio(report, "Kalvor LogLevel 255 / SOCI prepared once", KalvorVerbose, SociPrepared);
  PrintRatio(report, "Kalvor LogLevel 1 / raw client, old round trips", KalvorQuiet, OldFloor);
  PrintRatio(report, "Kalvor LogLevel 1 / server best case", KalvorQuiet, BestCase);
  PrintRatio(report, "Kalvor LogLevel 1 / the same, RequestTimeout=0", KalvorQuiet,
             KalvorUnwatched);
  PrintRatio(report, "RequestTimeout=0 / raw client, old round trips", KalvorUnwatched, OldFloor);
  PrintRatio(report, "status asked 1000/s / Kalvor LogLevel 1", KalvorPolled, KalvorQuiet);
  const tMeasured& kalvor = report.Measured[KalvorQuiet];
  const tMeasured& floor = report.Measured[OldFloor];
  if (kalvor.Commands > 0 && floor.Commands > 0 && kalvor.ServerCpuSeconds > 0)
    std::printf(
        "  %-44s  %14.2f\n", "server CPU, old round trips / Kalvor",
        (floor.ServerCpuSeconds / floor.Commands) / (kalvor.ServerCpuSeconds / kalvor.Commands));
}

void PrintHostFigures(const tBenchReport& report) {
  std::printf(
      "Kalvor, LogLevel 1, with %d commands queued at once: %.0f / %.0f / %.0f commands/s "
      "for 100 / 101 / 102, %.0f for a mix\n",
      report.Queued, report.QueuedPerSecond[0], report.QueuedPerSecond[1],
      report.QueuedPerSecond[2], report.MixedQueuedPerSecond);
  std::printf(
      "Scale, host processes each with its own Kalvor, one command in flight each, mixed "
      "commands:\n");
  std::printf("  %9s  %12s  %16s  %13s\n", "processes", "commands/s", "worst p99 (µs)",
              "machine idle");
  for (const tScaleResult& scale : report.Scale)
    std::printf("  %9d  %12.0f  %16.0f  %12.0f%%\n", scale.Processes, scale.CommandsPerSecond,
                scale.WorstP99, scale.IdlePercent);
  std::printf(
      "Command_Plugin per call: median %.2f µs, p99 %.2f µs from 1 thread; median %.2f "
      "µs, p99 %.2f µs from 8 threads\n",
      report.CostOneThread.Median(), report.CostOneThread.P99(), report.CostEightThreads.Median(),
      report.CostEightThreads.P99());
  std::printf(
      "  the same with the status asked %d/s (%.0f/s answered): median %.2f µs, p99 %.2f µs "
      "from 1 thread; median %.2f µs, p99 %.2f µs from 8 threads; ratio of medians %.2f and "
      "%.2f\n",
      report.StatusPerSecond, report.StatusRate, report.CostPolledOneThread.Median(),
      report.CostPolledOneThread.P99(), report.CostPolledEightThreads.Median(),
      report.CostPolledEightThreads.P99(),
      report.CostPolledOneThread.Median() / report.CostOneThread.Median(),
      report.CostPolledEightThreads.Median() / report.CostEightThreads.Median());
  std::printf(
      "Resident memory of a host with Kalvor: %.1f MiB after %d commands, %.1f MiB after "
      "%d, growth %ld KiB\n",
      report.Memory.AfterFirstKiB / 1024.0, report.MemoryFirst, report.Memory.AfterAllKiB / 1024.0,
      report.MemoryAll, report.Memory.AfterAllKiB - report.Memory.AfterFirstKiB);
}
}  // namespace

void PrintReport(const tBenchReport& report) {
  PrintLatencies(report);
  PrintHostFigures(report);
}
