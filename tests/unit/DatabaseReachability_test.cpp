#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "dynmenu/tDatabaseReachability.h"

namespace {
using namespace std::chrono_literals;

const auto Night = std::chrono::steady_clock::time_point(100h);

// steady: from Night; the wall clock reads 02:14:07 at Night.
tMoment At(std::chrono::milliseconds steady) {
  tMoment moment;
  moment.Steady = Night + steady;
  moment.Local = {2026, 12, 9, 2, 14, 7, 0};
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(steady).count();
  moment.Local.Second += static_cast<int>(seconds % 60);
  moment.Local.Minute += static_cast<int>(seconds / 60);
  return moment;
}
}  // namespace

// A lost connection that the next attach mends is no outage: no line, no count.
TEST(DatabaseReachability, ALostConnectionMendedAtOnceIsNoOutage) {
  tDatabaseReachability reachability;
  EXPECT_FALSE(reachability.Answered(true, At(0ms)));
  reachability.RequestFailed(At(1000ms));
  reachability.CommandFailed();
  EXPECT_FALSE(reachability.Answered(true, At(1200ms)));
  EXPECT_FALSE(reachability.Answered(false, At(1300ms)));
  ASSERT_TRUE(reachability.AttachFailed("refused", At(3000ms)));
  const auto up = reachability.Answered(true, At(4000ms));
  ASSERT_TRUE(up);
  EXPECT_EQ(*up, "Database reachable again after 1.0 s; 0 commands failed while it was not")
      << "the mended loss's failure is not this outage's";
  reachability.RequestFailed(At(4500ms));
  EXPECT_FALSE(reachability.Answered(true, At(4600ms)));
  tConnectionStatus status;
  reachability.Describe(status, At(5000ms));
  EXPECT_EQ(status.State, tConnectionState::Connected);
  EXPECT_EQ(status.Since, "2026-12-09 02:14:11") << "since the reattach";
  EXPECT_TRUE(status.Reason.empty());
  EXPECT_EQ(status.FailedCommands, 0u);
}

// One pair of lines for one outage, however many attaches fail within it:
// dated from the request that first failed, its length to the tenth of a
// second, and the commands that failed while it lasted, the one cut off
// before the failed attach told it was an outage among them.
TEST(DatabaseReachability, OneOutageIsOnePairOfLinesWithItsLengthAndItsFailures) {
  tDatabaseReachability reachability;
  reachability.Answered(true, At(0ms));
  reachability.CommandFailed();
  reachability.RequestFailed(At(2000ms));
  reachability.CommandFailed();
  reachability.RequestFailed(At(2500ms));
  const auto down = reachability.AttachFailed("connection refused", At(4600ms));
  ASSERT_TRUE(down);
  EXPECT_EQ(*down, "Database unreachable since 02:14:09: connection refused");
  const std::string twoLines = "Unable to complete network request to host \"h\".\r\nrefused";
  for (int command = 0; command < 6; ++command) {
    reachability.CommandFailed();
    EXPECT_FALSE(reachability.AttachFailed(twoLines, At(5000ms)));
  }
  tConnectionStatus status;
  reachability.Describe(status, At(7000ms));
  EXPECT_EQ(status.State, tConnectionState::Unreachable);
  EXPECT_EQ(status.Since, "2026-12-09 02:14:09");
  EXPECT_DOUBLE_EQ(status.Seconds, 5.0);
  EXPECT_EQ(status.Reason, twoLines) << "the latest reason, as the client library gave it";
  EXPECT_EQ(status.FailedCommands, 7u);

  const auto up = reachability.Answered(true, At(12420ms));
  ASSERT_TRUE(up);
  EXPECT_EQ(*up, "Database reachable again after 10.4 s; 7 commands failed while it was not");
  EXPECT_FALSE(reachability.Answered(true, At(13000ms)));

  // The next outage counts afresh, in the singular for one command, and
  // dates from the failed attach when no request failed before it.
  ASSERT_TRUE(reachability.AttachFailed("refused", At(60000ms)));
  reachability.CommandFailed();
  const auto again = reachability.Answered(true, At(60049ms));
  ASSERT_TRUE(again);
  EXPECT_EQ(*again, "Database reachable again after 0.0 s; 1 command failed while it was not");
  EXPECT_EQ(reachability.AttachFailed(twoLines, At(70000ms)),
            "Database unreachable since 02:15:17: Unable to complete network request to host "
            "\\\"h\\\".\\r\\nrefused")
      << "the log's line keeps to its line";
}

// Init_Plugin's attach may be the first to fail: the outage begins there.
TEST(DatabaseReachability, AnAttachThatNeverSucceededBeginsAnOutage) {
  tDatabaseReachability reachability;
  tConnectionStatus status;
  reachability.Describe(status, At(0ms));
  EXPECT_EQ(status.State, tConnectionState::NotYetConnected);
  EXPECT_TRUE(status.Since.empty());
  const auto down = reachability.AttachFailed("Database name is missing", At(0ms));
  ASSERT_TRUE(down);
  EXPECT_EQ(*down, "Database unreachable since 02:14:07: Database name is missing");
}
