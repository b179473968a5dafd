// The intervals between attempts to reach a server that is gone, shaped as
// gRPC's connection back-off: an initial interval that grows by a multiplier
// up to a ceiling, each wait spread by a random jitter so that many hosts
// that lost the same server do not come back to it in step.
#pragma once

#include <chrono>
#include <functional>

struct tBackOffPolicy {
  // For an IVR: callers are on the line, so a server that comes back is
  // noticed within 1.2 s (a restarted server takes about two seconds to
  // listen anyway), while each host tries it about once a second, a seventh
  // of what ten attempts per command made: a hundred hosts greet a
  // recovering server with about a hundred attaches a second, spread by the
  // jitter, not all at once. The first probes come sooner, for the server
  // that was only restarted.
  std::chrono::milliseconds Initial{250};
  double Multiplier = 1.6;
  // Each wait is the interval times a factor from 1 - Jitter to 1 + Jitter.
  double Jitter = 0.2;
  std::chrono::milliseconds Ceiling{1000};
};

class tBackOff {
 public:
  // fraction draws from 0 up to 1: the process-wide generator unless a test gives its own.
  explicit tBackOff(tBackOffPolicy policy = {}, std::function<double()> fraction = {});

  // The wait before the next attempt; the interval then grows.
  std::chrono::milliseconds Next();
  // From the initial interval again: the server was reached.
  void Reset();
  const tBackOffPolicy& Policy() const { return Policy_; }

 private:
  tBackOffPolicy Policy_;
  std::function<double()> Fraction_;
  double IntervalMs_;
};
