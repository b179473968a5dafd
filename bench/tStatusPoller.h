// A monitoring client that asks one plugin's status channel for its status,
// as kalvor-host status --json does, at a steady rate on a thread of its own,
// while it is let: the other measurers are timed without its load.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

class tStatusPoller {
 public:
  // The channel of the plugin named pluginName in this process; raises when
  // it is not open.
  tStatusPoller(const std::string& pluginName, int perSecond);
  ~tStatusPoller();
  tStatusPoller(const tStatusPoller&) = delete;
  tStatusPoller& operator=(const tStatusPoller&) = delete;

  // Starts held. Asking while a measurer beside it is timed would slow that one too.
  void Ask(bool asking);
  // Answers so far, and answers per second of the time it was let ask.
  long Answers() const { return Answered; }
  long Failures() const { return Failed; }
  double Rate() const;

 private:
  void Poll(const std::string& address, int perSecond);

  std::atomic<bool> Running{true};
  std::atomic<bool> Asking{false};
  std::atomic<long> Answered{0};
  std::atomic<long> Failed{0};
  // Microseconds spent asking, up to the last hold; and when asking last began.
  std::atomic<long long> AskedMicroseconds{0};
  std::chrono::steady_clock::time_point AskingSince;
  std::thread Thread;
};
