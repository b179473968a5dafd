#include "dynmenu/uRetryPause.h"

#include <chrono>
#include <mutex>
#include <random>
#include <thread>

namespace {
constexpr uint32_t ShortestPause = 20;
constexpr uint32_t PauseSpread = 279;

// Seeded once per process; the lock keeps draws safe should two workers ever exist.
std::mutex GeneratorLock;
std::mt19937& Generator() {
  static std::mt19937 generator{std::random_device{}()};
  return generator;
}
}  // namespace

uint32_t DrawRetryPause() {
  std::lock_guard<std::mutex> guard(GeneratorLock);
  std::uniform_int_distribution<uint32_t> draw(0, PauseSpread);
  return ShortestPause + draw(Generator());
}

void SleepForRetry(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
