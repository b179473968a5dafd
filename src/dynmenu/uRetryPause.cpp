#include "dynmenu/uRetryPause.h"

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace {
constexpr uint32_t ShortestPause = 20;
constexpr uint32_t PauseSpread = 279;

// Seeded once per process. The flag keeps draws safe should two workers ever
// exist; a flag, not a mutex, since a mutex of this toolchain's Windows runtime
// has a destructor to run at exit.
std::atomic_flag GeneratorBusy = ATOMIC_FLAG_INIT;
std::mt19937& Generator() {
  static std::mt19937 generator{std::random_device{}()};
  return generator;
}
}  // namespace

uint32_t DrawRetryPause() {
  while (GeneratorBusy.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  std::uniform_int_distribution<uint32_t> draw(0, PauseSpread);
  const uint32_t pause = ShortestPause + draw(Generator());
  GeneratorBusy.clear(std::memory_order_release);
  return pause;
}

void SleepForRetry(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
