#include "tStatusPoller.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "uStatusClient.h"

namespace {
constexpr auto Patience = std::chrono::seconds(5);
}  // namespace

tStatusPoller::tStatusPoller(const std::string& pluginName, int perSecond) {
  const std::string suffix = "-" + pluginName + "-" + std::to_string(getpid()) + ".sock";
  std::string address;
  for (const tStatusEndpointInfo& endpoint : FindStatusEndpoints().Found)
    if (endpoint.Address.size() > suffix.size() &&
        endpoint.Address.compare(endpoint.Address.size() - suffix.size(), suffix.size(), suffix) ==
            0)
      address = endpoint.Address;
  if (address.empty()) throw std::runtime_error("no status channel of " + pluginName + " is open");
  Thread = std::thread([this, address, perSecond] { Poll(address, perSecond); });
}

tStatusPoller::~tStatusPoller() {
  Running = false;
  Thread.join();
}

void tStatusPoller::Ask(bool asking) {
  const auto now = std::chrono::steady_clock::now();
  if (asking && !Asking) AskingSince = now;
  if (!asking && Asking)
    AskedMicroseconds +=
        std::chrono::duration_cast<std::chrono::microseconds>(now - AskingSince).count();
  Asking = asking;
}

double tStatusPoller::Rate() const {
  return AskedMicroseconds > 0 ? Answered * 1e6 / static_cast<double>(AskedMicroseconds) : 0;
}

// At most one request per interval; one that comes late does not make up for lost ones.
void tStatusPoller::Poll(const std::string& address, int perSecond) {
  const auto interval = std::chrono::microseconds(1'000'000 / perSecond);
  auto next = std::chrono::steady_clock::now();
  while (Running) {
    if (!Asking) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      next = std::chrono::steady_clock::now();
      continue;
    }
    try {
      AskStatus({address, static_cast<uint32_t>(getpid())}, "status json", Patience);
      ++Answered;
    } catch (const tStatusAskError&) {
      ++Failed;
    }
    next = std::max(next + interval, std::chrono::steady_clock::now());
    std::this_thread::sleep_until(next);
  }
}
