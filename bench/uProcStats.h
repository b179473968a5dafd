// Figures the kernel keeps in /proc: the server's CPU time, the machine's idle
// share, a process's resident memory.
#pragma once

#include <cstdint>

// CPU seconds the Firebird server process has used so far; 0 when none runs.
double ServerCpuSeconds();

struct tMachineCpu {
  uint64_t Idle = 0;
  uint64_t Total = 0;
};
tMachineCpu MachineCpu();
// The share of the machine's CPU time that was idle between two readings, in percent.
double IdlePercent(const tMachineCpu& start, const tMachineCpu& stop);

// This process's resident memory in KiB.
long ResidentKiB();
