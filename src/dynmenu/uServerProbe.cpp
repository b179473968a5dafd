#include "dynmenu/uServerProbe.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "dynmenu/db/tDBConnection.h"
#include "log/tPlugInLog.h"
#include "log/uLogValue.h"
#include "platform/Format.h"
#include "platform/LibraryPin.h"

using tClock = std::chrono::steady_clock;

// Shared by the command path and the probing thread; the last to let go frees it.
struct tProbeState {
  tProbeState(tPlugInLog& log, tServerProbe::tTarget target, std::function<void()> reached,
              tBackOffPolicy policy)
      : Log(log), Target(std::move(target)), Reached(std::move(reached)), BackOff(policy) {}

  // Written only while not Abandoned.
  tPlugInLog& Log;
  const tServerProbe::tTarget Target;
  const std::function<void()> Reached;
  mutable std::mutex Lock;
  std::condition_variable Wake;
  bool Gone = false;
  bool Probing = false;
  // Set under both locks when the owner goes: the log may go with it.
  bool Abandoned = false;
  std::string Why;
  tClock::time_point GoneSince;
  tClock::time_point NextProbe;
  uint32_t Probes = 0;
  tBackOff BackOff;
  // Held while the probing thread writes to the log.
  std::mutex LogLock;
};

namespace {
uint32_t MillisecondsBetween(tClock::time_point from, tClock::time_point to) {
  return static_cast<uint32_t>(std::max<int64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count(), 0));
}

// One attach, let go of at once without waiting for the server; the error's
// words when it fails.
std::optional<std::string> AttachOnce(const tServerProbe::tTarget& target) {
  try {
    tDBConnection connection;
    connection.DatabaseName = target.DatabaseName;
    connection.Parameters = target.Parameters;
    tAttachLimit limit;
    limit.Within = target.AttachLimit;
    limit.Name = target.AttachLimitName;
    connection.Open(limit);
    connection.CutClientSide();
    connection.ForceClose();
    return std::nullopt;
  } catch (const std::exception& error) {
    return std::string(error.what());
  }
}

void LogUnlessAbandoned(tProbeState& state, const std::string& line, bool reached = false) {
  std::lock_guard<std::mutex> guard(state.LogLock);
  if (state.Abandoned) return;
  state.Log.WriteHourly(line);
  if (reached && state.Reached) state.Reached();
}

// Probes until the server is reached or the owner goes; a server found gone
// again meanwhile is probed on.
void Probe(const std::shared_ptr<tProbeState>& state) {
  std::unique_lock<std::mutex> lock(state->Lock);
  while (state->Gone && !state->Abandoned) {
    if (tClock::now() < state->NextProbe) {
      state->Wake.wait_until(lock, state->NextProbe);
      continue;
    }
    lock.unlock();
    const auto started = tClock::now();
    const std::optional<std::string> failure = AttachOnce(state->Target);
    lock.lock();
    const uint32_t probe = ++state->Probes;
    if (failure) {
      state->Why = *failure;
      const auto wait = state->BackOff.Next();
      state->NextProbe = tClock::now() + wait;
      lock.unlock();
      LogUnlessAbandoned(*state,
                         Format("Probe %u of the server failed in %u ms (%s); the next in "
                                "%lld ms",
                                probe, MillisecondsBetween(started, tClock::now()),
                                LogValue(*failure).c_str(), static_cast<long long>(wait.count())));
      lock.lock();
      continue;
    }
    state->Gone = false;
    const uint32_t goneFor = MillisecondsBetween(state->GoneSince, tClock::now());
    lock.unlock();
    LogUnlessAbandoned(*state,
                       Format("The server was reached by probe %u, %u ms after it was "
                              "found gone: commands attach again",
                              probe, goneFor),
                       true);
    lock.lock();
  }
  state->Probing = false;
}
}  // namespace

tServerProbe::tServerProbe(tPlugInLog& log, tTarget target, std::function<void()> reached,
                           tBackOffPolicy policy)
    : State_(std::make_shared<tProbeState>(log, std::move(target), std::move(reached), policy)) {}

tServerProbe::~tServerProbe() {
  {
    std::lock_guard<std::mutex> logGuard(State_->LogLock);
    std::lock_guard<std::mutex> guard(State_->Lock);
    State_->Abandoned = true;
  }
  State_->Wake.notify_all();
}

bool tServerProbe::ServerGone(const std::string& why) {
  std::lock_guard<std::mutex> guard(State_->Lock);
  State_->Why = why;
  if (State_->Gone) return false;
  State_->Gone = true;
  State_->GoneSince = tClock::now();
  State_->Probes = 0;
  State_->BackOff.Reset();
  State_->NextProbe = State_->GoneSince + State_->BackOff.Next();
  if (!State_->Probing) {
    State_->Probing = true;
    // The host may unload the plugin while a probe is under way.
    std::thread([state = State_, hold = HoldLibrary()]() mutable {
      KeepLoadedUntilThreadEnds(std::move(hold));
      Probe(state);
    }).detach();
  }
  return true;
}

std::optional<std::string> tServerProbe::Refusal() const {
  std::lock_guard<std::mutex> guard(State_->Lock);
  if (!State_->Gone) return std::nullopt;
  return Format(
      "The server is not reached (%s): commands fail at once while it is probed, "
      "the next probe in %u ms",
      State_->Why.c_str(), MillisecondsBetween(tClock::now(), State_->NextProbe));
}

const tBackOffPolicy& tServerProbe::Policy() const {
  return State_->BackOff.Policy();
}
