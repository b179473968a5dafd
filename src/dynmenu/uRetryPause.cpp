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

template <typename tDistribution>
typename tDistribution::result_type Draw(tDistribution distribution) {
  while (GeneratorBusy.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  const auto value = distribution(Generator());
  GeneratorBusy.clear(std::memory_order_release);
  return value;
}
}  // namespace

uint32_t DrawRetryPause() {
  return ShortestPause + Draw(std::uniform_int_distribution<uint32_t>(0, PauseSpread));
}

double DrawFraction() {
  return Draw(std::uniform_real_distribution<double>(0.0, 1.0));
}

void SleepForRetry(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
