#include "dynmenu/uBackOff.h"

#include <algorithm>
#include <utility>

#include "dynmenu/uRetryPause.h"

tBackOff::tBackOff(tBackOffPolicy policy, std::function<double()> fraction)
    : Policy_(policy),
      Fraction_(fraction ? std::move(fraction) : std::function<double()>(&DrawFraction)),
      IntervalMs_(static_cast<double>(policy.Initial.count())) {}

std::chrono::milliseconds tBackOff::Next() {
  const double factor = 1 + Policy_.Jitter * (2 * Fraction_() - 1);
  const double waitMs = IntervalMs_ * factor;
  IntervalMs_ = std::min(IntervalMs_ * Policy_.Multiplier,
                         static_cast<double>(Policy_.Ceiling.count()));
  return std::chrono::milliseconds(static_cast<int64_t>(waitMs));
}

void tBackOff::Reset() {
  IntervalMs_ = static_cast<double>(Policy_.Initial.count());
}
