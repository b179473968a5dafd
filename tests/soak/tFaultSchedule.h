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
  std::chrono::milliseconds Between{4000};
  // Longer than the ten attempts of a command take.
  std::chrono::milliseconds StopFor{6000};
  // Shorter than the connect time-out: commands wait, none should fail.
  std::chrono::milliseconds FreezeFor{3000};
};

const char* FaultName(tFaultKind kind);

// Half the kills, the long stop, the freeze, the other half; between two
// faults the server serves for the plan's interval. A killed server is
// started again at once, as a guard would. now() gives the soak's clock;
// figures are sampled after each fault.
std::vector<tFaultEvent> RunFaults(const tFaultPlan& plan, PrivateFirebirdServer& server,
                                   const std::function<double()>& now,
                                   std::vector<tProcessFigures>& figures);
