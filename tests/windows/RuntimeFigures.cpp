#include "RuntimeFigures.h"

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "StandInControl.h"
#include "support/CommandBuffers.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
struct tProcessFigures {
  long FreeTlsIndexes = 0;
  long Handles = 0;
  uintptr_t NextHandle = 0;
  long long CommittedBytes = 0;
};

// Windows tells no count of free TLS indexes: take them all, count, give back.
long FreeTlsIndexes() {
  std::vector<DWORD> taken;
  for (DWORD index; (index = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(index);
  for (DWORD index : taken) TlsFree(index);
  return static_cast<long>(taken.size());
}

// Wine counts no handles, but gives a new handle the lowest free slot: leaked
// handles push it up.
uintptr_t NextHandleValue() {
  HANDLE probe = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CloseHandle(probe);
  return reinterpret_cast<uintptr_t>(probe);
}

tProcessFigures MeasureProcess() {
  tProcessFigures figures;
  figures.FreeTlsIndexes = FreeTlsIndexes();
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  figures.Handles = static_cast<long>(handles);
  figures.NextHandle = NextHandleValue();
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  figures.CommittedBytes = static_cast<long long>(memory.PagefileUsage);
  return figures;
}

void Print(const char* when, int cycle, const tProcessFigures& figures) {
  std::printf(
      "reload %s cycle %d: %ld free TLS indexes, %ld handles (next handle 0x%llx), %lld KB "
      "committed\n",
      when, cycle, figures.FreeTlsIndexes, figures.Handles,
      static_cast<unsigned long long>(figures.NextHandle), figures.CommittedBytes / 1024);
  std::fflush(stdout);
}

// One host's whole life with the plugin; false when it did not answer.
bool OneCycle(const std::string& pluginPath, const std::vector<uint8_t>& request) {
  tPluginHost host(pluginPath);
  host.Init();
  if (host.Command(1, request) != 0) return false;
  const bool answered = host.WaitAnswer(30s).has_value();
  host.Finalize();
  return answered;
}

// Generous beside what a leak does over 1,500 cycles: one TLS index, 4
// handles and 20 KB (32-bit) or 75 KB (64-bit) each cycle.
bool Flat(const tProcessFigures& before, const tProcessFigures& after) {
  constexpr long HandleSlack = 16;
  constexpr uintptr_t HandleValueSlack = HandleSlack * 4;
  constexpr long long CommittedSlack = 4ll << 20;
  return after.FreeTlsIndexes >= before.FreeTlsIndexes &&
         after.Handles <= before.Handles + HandleSlack &&
         after.NextHandle <= before.NextHandle + HandleValueSlack &&
         after.CommittedBytes <= before.CommittedBytes + CommittedSlack;
}
}  // namespace

int PlayReloadCycles(const std::string& pluginPath, int cycles) {
  constexpr int WarmUpCycles = 20;
  constexpr int PrintEvery = 250;
  const auto request = ItemDescRequest(StandIn::VoiceItemId);
  tProcessFigures warm = MeasureProcess();
  Print("before", 0, warm);
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    try {
      if (!OneCycle(pluginPath, request)) {
        std::printf("reload cycle %d: no answer\n", cycle);
        return 8;
      }
    } catch (const tHostError& error) {
      std::printf("reload cycle %d: %s\n", cycle, error.what());
      Print("failed at", cycle, MeasureProcess());
      return 7;
    }
    if (cycle == WarmUpCycles) {
      warm = MeasureProcess();
      Print("after warm-up", cycle, warm);
    } else if (cycle % PrintEvery == 0 && cycle < cycles) {
      Print("at", cycle, MeasureProcess());
    }
  }
  const tProcessFigures last = MeasureProcess();
  Print("after", cycles, last);
  return cycles <= WarmUpCycles || Flat(warm, last) ? 0 : 9;
}

namespace {
double CpuMilliseconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto ticks = [](const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}
}  // namespace

int PlayIdleCpu(const std::string& pluginPath, int seconds) {
  tPluginHost host(pluginPath);
  host.Init();
  if (host.Command(1, ItemDescRequest(StandIn::VoiceItemId)) != 0 ||
      !host.WaitAnswer(30s).has_value())
    return 8;
  const double cpuBefore = CpuMilliseconds();
  const ULONGLONG started = GetTickCount64();
  Sleep(static_cast<DWORD>(seconds) * 1000);
  const double elapsedSeconds = static_cast<double>(GetTickCount64() - started) / 1000.0;
  const double cpu = CpuMilliseconds() - cpuBefore;
  std::printf("idle: %.1f ms CPU in %.1f s, %.2f ms CPU per second\n", cpu, elapsedSeconds,
              cpu / elapsedSeconds);
  host.Finalize();
  return 0;
}
