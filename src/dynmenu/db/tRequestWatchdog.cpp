#include "dynmenu/db/tRequestWatchdog.h"

#include <algorithm>
#include <utility>

#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/db/tFbStatus.h"

namespace {
using tClock = tRequestWatchdog::tClock;

tClock::time_point Earliest(tClock::time_point deadline, std::optional<tClock::time_point> other) {
  return other ? std::min(deadline, *other) : deadline;
}
}  // namespace

tRequestWatchdog::tRequestWatchdog(int32_t limitSeconds, bool commandDeadlines)
    : LimitSeconds_(limitSeconds) {
  if (LimitSeconds_ > 0 || commandDeadlines) Thread_ = std::thread([this] { Run(); });
}

tRequestWatchdog::~tRequestWatchdog() {
  {
    std::lock_guard<std::mutex> guard(Lock_);
    Quit_ = true;
  }
  Wake_.notify_all();
  if (Thread_.joinable()) Thread_.join();
}

tRequestWatchdog::tWatch::tWatch(tRequestWatchdog& watchdog, tFbHandle attachment)
    : Watchdog_(watchdog) {
  if (!Watchdog_.Thread_.joinable()) return;
  bool wake = false;
  {
    std::lock_guard<std::mutex> guard(Watchdog_.Lock_);
    Watchdog_.Watching_ = true;
    Watchdog_.CutOff_ = false;
    Watchdog_.CutAtCommandDeadline_ = false;
    Watchdog_.Attachment_ = attachment;
    Watchdog_.Api_ = &FbClientApi();
    Watchdog_.WatchDeadline_ = Watchdog_.LimitSeconds_ > 0
                                   ? tClock::now() + std::chrono::seconds(Watchdog_.LimitSeconds_)
                                   : tClock::time_point::max();
    const std::optional<tClock::time_point> next = Watchdog_.NextWakeLocked();
    wake = next && (!Watchdog_.SleepsUntil_ || *next < *Watchdog_.SleepsUntil_);
  }
  if (wake) Watchdog_.Wake_.notify_one();
}

// Under the lock: a cut under way ends before the attachment can go.
tRequestWatchdog::tWatch::~tWatch() {
  if (!Watchdog_.Thread_.joinable()) return;
  std::lock_guard<std::mutex> guard(Watchdog_.Lock_);
  Watchdog_.Watching_ = false;
}

bool tRequestWatchdog::tWatch::CutOff() const {
  std::lock_guard<std::mutex> guard(Watchdog_.Lock_);
  return Watchdog_.CutOff_;
}

bool tRequestWatchdog::tWatch::CutAtCommandDeadline() const {
  std::lock_guard<std::mutex> guard(Watchdog_.Lock_);
  return Watchdog_.CutAtCommandDeadline_;
}

tRequestWatchdog::tEndWatch::tEndWatch(tRequestWatchdog& watchdog, std::function<void()> onEnd)
    : Watchdog_(watchdog) {
  std::lock_guard<std::mutex> guard(Watchdog_.Lock_);
  if (Watchdog_.Ended_)
    onEnd();
  else
    Watchdog_.OnEnd_ = std::move(onEnd);
}

tRequestWatchdog::tEndWatch::~tEndWatch() {
  std::lock_guard<std::mutex> guard(Watchdog_.Lock_);
  Watchdog_.OnEnd_ = nullptr;
}

void tRequestWatchdog::SetCommandDeadline(std::optional<tClock::time_point> due) {
  std::lock_guard<std::mutex> guard(Lock_);
  CommandDeadline_ = due;
}

void tRequestWatchdog::EndWithinLimit() noexcept {
  if (LimitSeconds_ <= 0) return;
  {
    std::lock_guard<std::mutex> guard(Lock_);
    if (!EndDeadline_) EndDeadline_ = tClock::now() + std::chrono::seconds(LimitSeconds_);
  }
  Wake_.notify_all();
}

std::optional<tRequestWatchdog::tClock::duration> tRequestWatchdog::TimeLeft() const {
  std::lock_guard<std::mutex> guard(Lock_);
  if (!EndDeadline_) return std::nullopt;
  return std::max(*EndDeadline_ - tClock::now(), tClock::duration::zero());
}

tRequestWatchdog::tClock::time_point tRequestWatchdog::DeadlineLocked() const {
  return Earliest(Earliest(WatchDeadline_, CommandDeadline_), EndDeadline_);
}

std::optional<tRequestWatchdog::tClock::time_point> tRequestWatchdog::NextWakeLocked() const {
  if (Watching_ && !CutOff_ && DeadlineLocked() != tClock::time_point::max())
    return DeadlineLocked();
  if (EndDeadline_ && !Ended_) return EndDeadline_;
  return std::nullopt;
}

void tRequestWatchdog::Run() {
  std::unique_lock<std::mutex> lock(Lock_);
  while (!Quit_) {
    const auto now = tClock::now();
    if (EndDeadline_ && !Ended_ && now >= *EndDeadline_) {
      Ended_ = true;
      if (OnEnd_) OnEnd_();
    }
    if (Watching_ && !CutOff_ && now >= DeadlineLocked()) CutLocked();
    SleepsUntil_ = NextWakeLocked();
    if (SleepsUntil_)
      Wake_.wait_until(lock, *SleepsUntil_);
    else
      Wake_.wait(lock);
  }
}

// Only the client side is closed, at once; nothing waits for the server.
void tRequestWatchdog::CutLocked() {
  tFbStatus status;
  tFbHandle attachment = Attachment_;
  Api_->CancelOperation(status.Vector(), &attachment, fb_cancel_abort);
  CutOff_ = true;
  CutAtCommandDeadline_ = CommandDeadline_ && *CommandDeadline_ == DeadlineLocked();
}
