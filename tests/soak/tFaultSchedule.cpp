#include "tFaultSchedule.h"

#include <thread>

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
}  // namespace

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
  std::vector<tFaultKind> order(static_cast<size_t>(plan.Kills / 2), tFaultKind::Kill);
  order.push_back(tFaultKind::LongStop);
  order.push_back(tFaultKind::Freeze);
  order.insert(order.end(), static_cast<size_t>(plan.Kills - plan.Kills / 2), tFaultKind::Kill);

  std::vector<tFaultEvent> events;
  for (const tFaultKind kind : order) {
    std::this_thread::sleep_for(plan.Between);
    events.push_back({kind, now()});
    Strike(events.back(), plan, server, now);
    figures.push_back(ReadProcessFigures());
  }
  std::this_thread::sleep_for(plan.Between);
  return events;
}
