#include "uCommandCost.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/CommandBuffers.h"

namespace {
constexpr int32_t UnknownCommand = 7;
}  // namespace

tLatencies CommandPluginCost(tPluginHost& host, int threads, int callsPerThread) {
  const std::vector<uint8_t> request = MakeCommand(16, UnknownCommand);
  std::vector<tLatencies> perThread(threads);
  std::atomic<bool> go{false};
  std::atomic<int> refused{0};
  std::vector<std::thread> callers;
  for (int thread = 0; thread < threads; ++thread)
    callers.emplace_back([&, thread] {
      while (!go.load()) std::this_thread::yield();
      for (int call = 0; call < callsPerThread; ++call) {
        const auto start = std::chrono::steady_clock::now();
        const int32_t result = host.Command(UnknownCommand, request);
        const std::chrono::duration<double, std::micro> took =
            std::chrono::steady_clock::now() - start;
        perThread[thread].Add(took.count());
        if (result != 0) ++refused;
      }
    });
  go = true;
  for (auto& caller : callers) caller.join();
  const size_t calls = static_cast<size_t>(threads) * callsPerThread;
  if (refused.load() != 0 || host.WaitAnswers(calls, std::chrono::minutes(5)).size() != calls)
    throw std::runtime_error("Command_Plugin refused calls or their callbacks did not come");
  tLatencies all;
  for (const auto& latencies : perThread) all.Append(latencies);
  return all;
}
