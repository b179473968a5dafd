// Many hosts through one outage: each a process of its own that loads the
// plugin and sends command 100 at a steady rate while the server is stopped
// or frozen for a while and then comes back. Prints the longest wait of any
// caller, the attach attempts a second per host during the outage, and how
// soon after the server was back each host was served again.
#pragma once

#include <chrono>
#include <string>

#include "tFaultSchedule.h"

struct tOutagePlan {
  int Hosts = 10;
  tFaultKind Kind = tFaultKind::LongStop;
  std::chrono::milliseconds For{60000};
  // Commands a second each host sends.
  int Rate = 2;
  // Another build of the plugin to measure, such as an older one.
  std::string Plugin;
};

// self: this program, started again as each host.
int RunOutage(const tOutagePlan& plan, const std::string& self);
// One host: sends from startAtMs (milliseconds since the epoch) for seconds,
// then prints one line per command: sent, answered (-1: never) and result code.
int RunOutageHost(const std::string& plugin, int rate, long long startAtMs, int seconds);
