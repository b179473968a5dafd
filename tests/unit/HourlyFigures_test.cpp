#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "worker/uHourlyFigures.h"

using namespace std::chrono_literals;

namespace {
// The monotonic clock runs with the wall clock, ahead of it by as much as the
// wall clock was set back.
tFiguresTime At(int hour, int minute, int second = 0, int day = 8,
                std::chrono::minutes setBack = 0min) {
  tFiguresTime time;
  time.Wall.Year = 2026;
  time.Wall.Month = 12;
  time.Wall.Day = day;
  time.Wall.Hour = hour;
  time.Wall.Minute = minute;
  time.Wall.Second = second;
  time.Monotonic = std::chrono::steady_clock::time_point(std::chrono::hours(day * 24 + hour) +
                                                         std::chrono::minutes(minute) +
                                                         std::chrono::seconds(second) + setBack);
  return time;
}

bool Has(const std::string& line, const std::string& part) {
  return line.find(part) != std::string::npos;
}
}  // namespace

TEST(HourlyFigures, OneLinePerHourWithTheFiguresOfThatHourOnly) {
  tHourlyFigures figures(4242);
  EXPECT_FALSE(figures.CloseHourBefore(At(13, 5))) << "nothing counted yet";

  figures.NoteQueueLength(3);
  figures.NoteQueueLength(7);
  figures.NoteQueueLength(2);
  figures.CountAnswer(At(13, 5), 100, 0, 1000);
  figures.CountAnswer(At(13, 6), 100, 2, 3000);
  figures.CountAnswer(At(13, 7), 101, 0, 2000);
  figures.CountAnswer(At(13, 8), 102, 1, 250000);
  figures.CountAnswer(At(13, 9), 7, 3, 500);
  for (const auto event :
       {tDatabaseEvent::DeadlockRetry, tDatabaseEvent::DeadlockRetry,
        tDatabaseEvent::ConnectionLossRetry, tDatabaseEvent::Reconnect, tDatabaseEvent::Reconnect,
        tDatabaseEvent::Reconnect, tDatabaseEvent::Reconnect, tDatabaseEvent::Outage,
        tDatabaseEvent::Outage, tDatabaseEvent::Outage})
    figures.CountDatabase(event);
  figures.CountLostLogLines(5);
  EXPECT_FALSE(figures.CloseHourBefore(At(13, 59, 59))) << "same hour";

  const auto line = figures.CloseHourBefore(At(14, 0, 1));
  ASSERT_TRUE(line);
  EXPECT_TRUE(
      Has(*line,
          "Figures of 2026-12-08 13:00-13:59, pid 4242: commands 100=2 101=1 102=1 other=1; "
          "result codes 0=2 1=1 2=1 3=1 other=0; retries deadlock=2 "
          "connection loss=1; reconnects=4; outages=3; longest queue=7; "))
      << *line;
  EXPECT_TRUE(Has(*line, "median=2.015 p99=250.000 max=250.000; log lines lost=5")) << *line;

  // The new hour starts from nothing; Finalize closes it at the minute it comes.
  figures.CountAnswer(At(14, 2), 102, 0, 800);
  const auto last = figures.CloseAt(At(14, 42, 17));
  ASSERT_TRUE(last);
  EXPECT_TRUE(Has(*last,
                  "Figures of 2026-12-08 14:00-14:42:17, pid 4242: commands 100=0 101=0 102=1 "
                  "other=0; result codes 0=1 1=0 2=0 3=0 other=0; retries deadlock=0 "
                  "connection loss=0; reconnects=0; outages=0; longest queue=0; "))
      << *last;
  EXPECT_TRUE(Has(*last, "; log lines lost=0")) << *last;
  EXPECT_FALSE(figures.CloseAt(At(14, 43))) << "nothing since";

  // A command after a quiet night: the line names the hour of its commands.
  figures.CountAnswer(At(23, 30), 100, 0, 100);
  const auto night = figures.CloseHourBefore(At(6, 0, 0, 9));
  ASSERT_TRUE(night);
  EXPECT_TRUE(Has(*night, "Figures of 2026-12-08 23:00-23:59, pid 4242: ")) << *night;
}

// The wall clock set back an hour at 03:26:13, then half an hour at 05:40:
// each line names the span it counted, no label comes twice, and every
// command is in exactly one line.
TEST(HourlyFigures, ASteppedClockEndsTheSpanWhereItStepped) {
  tHourlyFigures figures(7);
  figures.CountAnswer(At(3, 26, 0), 100, 0, 1000);
  figures.CountAnswer(At(3, 26, 5), 100, 0, 1000);

  const auto beforeStep = figures.CloseHourBefore(At(2, 26, 13, 8, 60min));
  ASSERT_TRUE(beforeStep) << "the wall clock left the hour";
  EXPECT_TRUE(Has(*beforeStep, "Figures of 2026-12-08 03:00-03:26:13, pid 7: commands 100=2 "))
      << *beforeStep;
  figures.CountAnswer(At(2, 26, 13, 8, 60min), 101, 0, 1000);
  EXPECT_FALSE(figures.CloseHourBefore(At(2, 59, 59, 8, 60min)));
  const auto afterStep = figures.CloseHourBefore(At(3, 0, 2, 8, 60min));
  ASSERT_TRUE(afterStep);
  EXPECT_TRUE(Has(*afterStep, "Figures of 2026-12-08 02:26:13-02:59, pid 7: commands 100=0 101=1 "))
      << *afterStep;

  // An hour as usual, then back half an hour within the next: the hour ends
  // when it has run its length, though the wall clock shows 05:30.
  figures.CountAnswer(At(3, 0, 2, 8, 60min), 102, 0, 1000);
  const auto usual = figures.CloseHourBefore(At(5, 0, 0, 8, 60min));
  ASSERT_TRUE(usual);
  EXPECT_TRUE(Has(*usual, "Figures of 2026-12-08 03:00-03:59, pid 7: commands 100=0 101=0 102=1 "))
      << *usual;
  figures.CountAnswer(At(5, 0, 0, 8, 60min), 100, 0, 1000);
  EXPECT_FALSE(figures.CloseHourBefore(At(5, 15, 0, 8, 90min))) << "set back 30 min";
  const auto ranOut = figures.CloseHourBefore(At(5, 30, 1, 8, 90min));
  ASSERT_TRUE(ranOut);
  EXPECT_TRUE(Has(*ranOut, "Figures of 2026-12-08 05:00-05:59, pid 7: commands 100=1 ")) << *ranOut;
  figures.CountAnswer(At(5, 30, 1, 8, 90min), 100, 0, 1000);
  const auto last = figures.CloseAt(At(5, 45, 0, 8, 90min));
  ASSERT_TRUE(last);
  EXPECT_TRUE(Has(*last, "Figures of 2026-12-08 05:30:01-05:45:00, pid 7: commands 100=1 "))
      << *last;
}

TEST(LatencyHistogram, QuantilesStayWithinAThirtySecondOfTheTimes) {
  tLatencyHistogram histogram;
  EXPECT_EQ(histogram.Quantile(0.5), 0u);
  for (uint64_t ms = 1; ms <= 1000; ++ms) histogram.Add(ms * 1000);
  histogram.Add(123456789);
  EXPECT_EQ(histogram.Count(), 1001u);
  EXPECT_EQ(histogram.Max(), 123456789u);
  EXPECT_NEAR(static_cast<double>(histogram.Quantile(0.5)), 501000.0, 501000.0 / 32);
  EXPECT_NEAR(static_cast<double>(histogram.Quantile(0.99)), 991000.0, 991000.0 / 32);
  EXPECT_GE(histogram.Quantile(0.5), 501000u) << "a bound at or above the value";
  EXPECT_EQ(histogram.Quantile(1.0), 123456789u);

  histogram.Clear();
  histogram.Add(5);
  EXPECT_EQ(histogram.Quantile(0.99), 5u);
  EXPECT_EQ(histogram.Max(), 5u);
}
