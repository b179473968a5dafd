// What the soak does to its private server, and when.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/PrivateFirebirdServer.h"
#include "uProcessFigures.h"

enum class tFaultKind { Kill, LongStop, Freeze };

struct tFaultEvent {
  tFaultKind Kind;
  double AtMs = 0;
  // How long a killed server took to listen again.
  double BackAfterMs = 0;
};

struct tFaultPlan {
  int Kills = 6;
  // Stopped: every attach is refused for StopFor, longer than the ten
  // attempts of a command take.
  int Stops = 1;
  std::chrono::milliseconds StopFor{6000};
  // Frozen: connections are taken and nothing is answered for FreezeFor.
  int Freezes = 1;
  std::chrono::milliseconds FreezeFor{3000};
  std::chrono::milliseconds Between{4000};
  // Commands a second from all senders together, whether answered or not;
  // 0: each sender as fast as answers come, with few outstanding.
  int Rate = 0;

  std::chrono::milliseconds Length() const;
};

const char* FaultName(tFaultKind kind);

// Kills, stops and freezes spread evenly over the soak; between two faults
// the server serves for the plan's interval. A killed server is started again
// at once, as a guard would. now() gives the soak's clock; figures are
// sampled after each fault.
std::vector<tFaultEvent> RunFaults(const tFaultPlan& plan, PrivateFirebirdServer& server,
                                   const std::function<double()>& now,
                                   std::vector<tProcessFigures>& figures);
