// Whether the menu database can be reached, as the command path finds it: an
// outage begins when an attach fails, dated from the first failure that led
// to it (the request that lost its connection or was cut off), and ends when
// the server answers again. Each end of an outage is one log line; a lost
// connection that the next attach mends is no outage. Told on the session
// thread; read from any (the status channel).
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "platform/LocalTime.h"
#include "worker/uStatusSnapshot.h"

// A moment on both clocks: the steady one for durations, the wall clock for the lines.
struct tMoment {
  std::chrono::steady_clock::time_point Steady = std::chrono::steady_clock::now();
  tLocalTime Local = tLocalTime::Now();
};

class tDatabaseReachability {
 public:
  // A request lost its connection or was cut off: the outage, if the next
  // attach fails, began here.
  void RequestFailed(const tMoment& at = {});
  // "Database unreachable since 02:14:07: <reason>" when an outage begins
  // now. reason: the client library's words as they are; the line escapes them.
  std::optional<std::string> AttachFailed(const std::string& reason, const tMoment& at = {});
  // An attach or a request succeeded. "Database reachable again after 10.4 s;
  // 7 commands failed while it was not" when an outage ends now.
  std::optional<std::string> Answered(bool attached, const tMoment& at = {});
  // A command was answered with result code 1: counted when an outage is
  // under way or a request has failed since the server last answered.
  void CommandFailed();

  void Describe(tConnectionStatus& status, const tMoment& now = {}) const;

 private:
  mutable std::mutex Lock;
  tConnectionState State = tConnectionState::NotYetConnected;
  tMoment Since;
  std::optional<tMoment> FirstFailure;
  std::string Reason;
  uint64_t FailedCommands = 0;
};
