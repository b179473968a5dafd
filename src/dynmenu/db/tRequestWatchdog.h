#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "dynmenu/db/tFbHandle.h"

struct tFbClientApi;

// Cuts off the requests of an attachment that the server has not answered
// within a limit, or by the deadline of the command they serve. A frozen server, or a way to it that stops carrying packets
// while the sockets stay open, holds a request for as long as it lasts: no
// TCP limit fires while the server's machine still acknowledges. Cutting
// closes the client side of the attachment (fb_cancel_abort): the request
// returns with an error at once, and the server rolls back what the
// attachment had open when it notices.
//
// Its thread sleeps until the earliest deadline and is woken only when a
// watch begins that must end before it, or when the end is asked: a watch
// that begins and ends in time costs a lock and no thread switch.
class tRequestWatchdog {
 public:
  using tClock = std::chrono::steady_clock;

  // 0 seconds: no limit per request; without command deadlines either,
  // nothing is ever cut off and no thread is started.
  tRequestWatchdog(int32_t limitSeconds, bool commandDeadlines);
  ~tRequestWatchdog();
  tRequestWatchdog(const tRequestWatchdog&) = delete;
  tRequestWatchdog& operator=(const tRequestWatchdog&) = delete;

  int32_t LimitSeconds() const { return LimitSeconds_; }

  // The requests made on the attachment while it lives are watched as one;
  // one at a time.
  class tWatch {
   public:
    tWatch(tRequestWatchdog& watchdog, tFbHandle attachment);
    ~tWatch();
    tWatch(const tWatch&) = delete;
    tWatch& operator=(const tWatch&) = delete;

    // The limit ran out and the attachment was cut off: every failure since
    // is the cut's.
    bool CutOff() const;
    // The cut came at the command's deadline, not at the limit.
    bool CutAtCommandDeadline() const;

   private:
    tRequestWatchdog& Watchdog_;
  };

  // On the watches' thread, between them: the watches from now on end by
  // due too; none for no such end.
  void SetCommandDeadline(std::optional<tClock::time_point> due);

  // From any thread: from now on, nothing runs past the limit counted from
  // now, a request watched already included. For a session that is stopping.
  void EndWithinLimit() noexcept;
  // Time left until that end; none while it has not been asked for.
  std::optional<tClock::duration> TimeLeft() const;

  // While it lives, onEnd is called once that end has come (on the watch's
  // thread, or at once when it has come already): for a wait that is not a
  // request (an attach). One at a time.
  class tEndWatch {
   public:
    tEndWatch(tRequestWatchdog& watchdog, std::function<void()> onEnd);
    ~tEndWatch();
    tEndWatch(const tEndWatch&) = delete;
    tEndWatch& operator=(const tEndWatch&) = delete;

   private:
    tRequestWatchdog& Watchdog_;
  };

 private:
  void Run();
  tClock::time_point DeadlineLocked() const;
  // The deadline to sleep until; none while there is nothing to wait for.
  std::optional<tClock::time_point> NextWakeLocked() const;
  void CutLocked();

  const int32_t LimitSeconds_;
  mutable std::mutex Lock_;
  std::condition_variable Wake_;
  bool Quit_ = false;
  bool Watching_ = false;
  bool CutOff_ = false;
  bool CutAtCommandDeadline_ = false;
  // What the thread sleeps until; none while it waits without a deadline. A
  // watch that must end earlier wakes it.
  std::optional<tClock::time_point> SleepsUntil_;
  tFbHandle Attachment_ = 0;
  // The table in use when the watch began: a test's table may be put in place later.
  const tFbClientApi* Api_ = nullptr;
  tClock::time_point WatchDeadline_;
  std::optional<tClock::time_point> CommandDeadline_;
  std::optional<tClock::time_point> EndDeadline_;
  bool Ended_ = false;
  std::function<void()> OnEnd_;
  std::thread Thread_;
};
