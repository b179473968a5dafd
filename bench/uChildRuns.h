// Runs that need processes of their own: several hosts at once against one
// server, and a host whose memory is read after many commands.
#pragma once

#include <string>
#include <vector>

struct tScaleResult {
  int Processes = 0;
  double CommandsPerSecond = 0;
  // The worst of the processes' own p99, in microseconds.
  double WorstP99 = 0;
  double IdlePercent = 0;
};

// Starts that many copies of the command line at once, each told when to
// start and for how many seconds to run; each prints "<commands> <p99 µs>".
tScaleResult RunScale(const std::vector<std::string>& commandLine, int processes, double seconds);

struct tMemoryResult {
  long AfterFirstKiB = 0;
  long AfterAllKiB = 0;
};

// Runs the command line, which prints "<KiB after the first> <KiB after all>".
tMemoryResult RunMemory(const std::vector<std::string>& commandLine);

// Milliseconds since the epoch on the system clock, shared by all processes.
long long EpochMilliseconds();
