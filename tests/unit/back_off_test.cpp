#include <gtest/gtest.h>

#include <chrono>

#include "dynmenu/uBackOff.h"
#include "worker/uPlugInWorker.h"

using std::chrono::milliseconds;

// The least and the most jitter a draw can give: the waits span 0.8 to 1.2
// times an interval that grows by 1.6 from 250 ms and stops at 1 s; a server
// found again starts the intervals afresh.
TEST(BackOff, GrowsToItsCeilingWithinTheJitterAndStartsAgainOnReset) {
  for (const double fraction : {0.0, 0.5, 0.999999}) {
    tBackOff backOff({}, [&] { return fraction; });
    const double factor = 1 + 0.2 * (2 * fraction - 1);
    for (const double interval : {250.0, 400.0, 640.0, 1000.0, 1000.0, 1000.0})
      EXPECT_EQ(backOff.Next(), milliseconds(static_cast<int64_t>(interval * factor)))
          << "fraction " << fraction << ", interval " << interval;
    backOff.Reset();
    EXPECT_EQ(backOff.Next(), milliseconds(static_cast<int64_t>(250 * factor)));
  }
}

TEST(BackOff, TheProcessWideDrawSpreadsTheWaits) {
  tBackOff backOff;
  milliseconds least = milliseconds::max(), most = milliseconds::zero();
  for (int probe = 0; probe < 200; ++probe) {
    const milliseconds wait = backOff.Next();
    if (probe < 4) continue;
    least = std::min(least, wait);
    most = std::max(most, wait);
  }
  EXPECT_GE(least, milliseconds(800));
  EXPECT_LE(most, milliseconds(1200));
  EXPECT_GT(most - least, milliseconds(200)) << "no jitter";
}

TEST(CommandDeadline, ReadsWholeSecondsAndFallsBackOtherwise) {
  EXPECT_EQ(ParseSeconds("15", 9), 15);
  EXPECT_EQ(ParseSeconds("0", 9), 0);
  EXPECT_EQ(ParseSeconds("", 9), 9);
  EXPECT_EQ(ParseSeconds("-1", 9), 9);
  EXPECT_EQ(ParseSeconds("1.5", 9), 9);
  EXPECT_EQ(ParseSeconds("x", 9), 9);
}
