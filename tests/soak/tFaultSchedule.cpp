#include "tFaultSchedule.h"

#include <algorithm>
#include <thread>
#include <utility>

namespace {
void Strike(tFaultEvent& event, const tFaultPlan& plan, PrivateFirebirdServer& server,
            const std::function<double()>& now) {
  switch (event.Kind) {
    case tFaultKind::Kill:
      server.Restart();
      event.BackAfterMs = now() - event.AtMs;
      return;
    case tFaultKind::LongStop:
      server.Stop();
      std::this_thread::sleep_for(plan.StopFor);
      server.Start();
      return;
    case tFaultKind::Freeze:
      server.Freeze();
      std::this_thread::sleep_for(plan.FreezeFor);
      server.Thaw();
      return;
  }
}

// The i-th of n faults of a kind stands at (i + 1/2) / n of the soak.
std::vector<tFaultKind> Order(const tFaultPlan& plan) {
  std::vector<std::pair<double, tFaultKind>> placed;
  for (const auto& [count, kind] : {std::pair{plan.Kills, tFaultKind::Kill},
                                   std::pair{plan.Stops, tFaultKind::LongStop},
                                   std::pair{plan.Freezes, tFaultKind::Freeze}})
    for (int index = 0; index < count; ++index) placed.push_back({(index + 0.5) / count, kind});
  std::stable_sort(placed.begin(), placed.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<tFaultKind> order;
  for (const auto& [at, kind] : placed) order.push_back(kind);
  return order;
}
}  // namespace

std::chrono::milliseconds tFaultPlan::Length() const {
  return Between * (Kills + Stops + Freezes + 1) + StopFor * Stops + FreezeFor * Freezes;
}

const char* FaultName(tFaultKind kind) {
  switch (kind) {
    case tFaultKind::Kill:
      return "kill";
    case tFaultKind::LongStop:
      return "stop";
    case tFaultKind::Freeze:
      return "freeze";
  }
  return "?";
}

std::vector<tFaultEvent> RunFaults(const tFaultPlan& plan, PrivateFirebirdServer& server,
                                   const std::function<double()>& now,
                                   std::vector<tProcessFigures>& figures) {
  std::vector<tFaultEvent> events;
  for (const tFaultKind kind : Order(plan)) {
    std::this_thread::sleep_for(plan.Between);
    events.push_back({kind, now()});
    Strike(events.back(), plan, server, now);
    figures.push_back(ReadProcessFigures());
  }
  std::this_thread::sleep_for(plan.Between);
  return events;
}
