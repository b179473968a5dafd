#include "dynmenu/tDatabaseReachability.h"

#include <utility>

#include "log/uLogValue.h"
#include "platform/Format.h"

namespace {
double SecondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Whole numbers only: a host's locale may write a decimal comma.
std::string OneDecimal(double seconds) {
  const auto tenths = static_cast<unsigned long long>(seconds * 10 + 0.5);
  return Format("%llu.%llu", tenths / 10, tenths % 10);
}

std::string DateAndTime(const tLocalTime& time) {
  return Format("%04d-%02d-%02d %02d:%02d:%02d", time.Year, time.Month, time.Day, time.Hour,
                time.Minute, time.Second);
}
}  // namespace

void tDatabaseReachability::RequestFailed(const tMoment& at) {
  std::lock_guard<std::mutex> guard(Lock);
  if (State == tConnectionState::Unreachable || FirstFailure) return;
  FirstFailure = at;
  FailedCommands = 0;
}

std::optional<std::string> tDatabaseReachability::AttachFailed(const std::string& reason,
                                                               const tMoment& at) {
  std::lock_guard<std::mutex> guard(Lock);
  Reason = reason;
  if (State == tConnectionState::Unreachable) return std::nullopt;
  State = tConnectionState::Unreachable;
  if (!FirstFailure) FailedCommands = 0;
  Since = FirstFailure.value_or(at);
  FirstFailure.reset();
  return Format("Database unreachable since %02d:%02d:%02d: %s", Since.Local.Hour,
                Since.Local.Minute, Since.Local.Second, LogValue(reason).c_str());
}

std::optional<std::string> tDatabaseReachability::Answered(bool attached, const tMoment& at) {
  std::lock_guard<std::mutex> guard(Lock);
  FirstFailure.reset();
  const tConnectionState was = State;
  const tMoment outageStart = Since;
  if (was != tConnectionState::Connected || attached) {
    State = tConnectionState::Connected;
    Since = at;
    Reason.clear();
  }
  if (was != tConnectionState::Unreachable) return std::nullopt;
  const uint64_t failed = std::exchange(FailedCommands, 0);
  return Format("Database reachable again after %s s; %llu command%s failed while it was not",
                OneDecimal(SecondsBetween(outageStart.Steady, at.Steady)).c_str(),
                static_cast<unsigned long long>(failed), failed == 1 ? "" : "s");
}

// A command cut off before its outage was known (a frozen server) failed in it too.
void tDatabaseReachability::CommandFailed() {
  std::lock_guard<std::mutex> guard(Lock);
  if (State == tConnectionState::Unreachable || FirstFailure) ++FailedCommands;
}

void tDatabaseReachability::Describe(tConnectionStatus& status, const tMoment& now) const {
  std::lock_guard<std::mutex> guard(Lock);
  status.State = State;
  if (State == tConnectionState::NotYetConnected) return;
  status.Since = DateAndTime(Since.Local);
  status.Seconds = SecondsBetween(Since.Steady, now.Steady);
  if (State != tConnectionState::Unreachable) return;
  status.Reason = Reason;
  status.FailedCommands = FailedCommands;
}
