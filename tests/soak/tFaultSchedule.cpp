#include "tFaultSchedule.h"

#include <stdexcept>
#include <thread>

#include "support/FirebirdServer.h"

namespace {
constexpr auto Poll = std::chrono::milliseconds(20);
constexpr double LongestRestartMs = 120000;

// A new server process that listens; until then the old one's port may still
// look open for a moment.
double WaitForANewServer(const std::string& killed, const std::function<double()>& now) {
  const double start = now();
  while (now() - start < LongestRestartMs) {
    const std::string pid = FirebirdServer::ProcessId();
    if (!pid.empty() && pid != killed && FirebirdServer::IsRunning()) return now() - start;
    std::this_thread::sleep_for(Poll);
  }
  throw std::runtime_error("the killed server did not come back");
}

void Strike(tFaultEvent& event, const tFaultPlan& plan, const std::function<double()>& now) {
  switch (event.Kind) {
    case tFaultKind::Kill: {
      const std::string killed = FirebirdServer::ProcessId();
      FirebirdServer::Kill();
      event.BackAfterMs = WaitForANewServer(killed, now);
      return;
    }
    case tFaultKind::LongStop:
      FirebirdServer::Stop();
      std::this_thread::sleep_for(plan.StopFor);
      FirebirdServer::Start();
      return;
    case tFaultKind::Freeze:
      FirebirdServer::Freeze();
      std::this_thread::sleep_for(plan.FreezeFor);
      FirebirdServer::Thaw();
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

std::vector<tFaultEvent> RunFaults(const tFaultPlan& plan, const std::function<double()>& now,
                                   std::vector<tProcessFigures>& figures) {
  std::vector<tFaultKind> order(static_cast<size_t>(plan.Kills / 2), tFaultKind::Kill);
  order.push_back(tFaultKind::LongStop);
  order.push_back(tFaultKind::Freeze);
  order.insert(order.end(), static_cast<size_t>(plan.Kills - plan.Kills / 2), tFaultKind::Kill);

  std::vector<tFaultEvent> events;
  for (const tFaultKind kind : order) {
    std::this_thread::sleep_for(plan.Between);
    events.push_back({kind, now()});
    Strike(events.back(), plan, now);
    figures.push_back(ReadProcessFigures());
  }
  std::this_thread::sleep_for(plan.Between);
  return events;
}
