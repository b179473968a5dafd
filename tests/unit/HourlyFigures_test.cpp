#include <gtest/gtest.h>

#include <string>

#include "worker/uHourlyFigures.h"

namespace {
tLocalTime At(int hour, int minute, int second = 0, int day = 8) {
  tLocalTime time;
  time.Year = 2026;
  time.Month = 12;
  time.Day = day;
  time.Hour = hour;
  time.Minute = minute;
  time.Second = second;
  return time;
}

bool Has(const std::string& line, const std::string& part) {
  return line.find(part) != std::string::npos;
}
}  // namespace

TEST(HourlyFigures, OneLinePerHourWithTheFiguresOfThatHourOnly) {
  tHourlyFigures figures(4242);
  tDatabaseFigures database;
  EXPECT_FALSE(figures.CloseHourBefore(At(13, 5), database)) << "nothing counted yet";

  figures.NoteQueueLength(3);
  figures.NoteQueueLength(7);
  figures.NoteQueueLength(2);
  figures.CountAnswer(At(13, 5), 100, 0, 1000);
  figures.CountAnswer(At(13, 6), 100, 2, 3000);
  figures.CountAnswer(At(13, 7), 101, 0, 2000);
  figures.CountAnswer(At(13, 8), 102, 1, 250000);
  figures.CountAnswer(At(13, 9), 7, 3, 500);
  database = {2, 1, 4, 0, 3};
  figures.CountLostLogLines(5);
  EXPECT_FALSE(figures.CloseHourBefore(At(13, 59, 59), database)) << "same hour";

  const auto line = figures.CloseHourBefore(At(14, 0, 1), database);
  ASSERT_TRUE(line);
  EXPECT_TRUE(
      Has(*line,
          "Figures of 2026-12-08 13:00-13:59, pid 4242: commands 100=2 101=1 102=1 other=1; "
          "result codes 0=2 1=1 2=1 3=1 other=0; retries deadlock=2 "
          "connection loss=1; reconnects=4; outages=3; longest queue=7; "))
      << *line;
  EXPECT_TRUE(Has(*line, "median=2.015 p99=250.000 max=250.000; log lines lost=5")) << *line;
  EXPECT_EQ(database.Reconnects, 0u) << "the worker's figures are taken with the line";
  EXPECT_EQ(database.Outages, 0u);

  // The new hour starts from nothing; Finalize closes it at the minute it comes.
  figures.CountAnswer(At(14, 2), 102, 0, 800);
  const auto last = figures.CloseAt(At(14, 42, 17), database);
  ASSERT_TRUE(last);
  EXPECT_TRUE(Has(*last,
                  "Figures of 2026-12-08 14:00-14:42:17, pid 4242: commands 100=0 101=0 102=1 "
                  "other=0; result codes 0=1 1=0 2=0 3=0 other=0; retries deadlock=0 "
                  "connection loss=0; reconnects=0; outages=0; longest queue=0; "))
      << *last;
  EXPECT_TRUE(Has(*last, "; log lines lost=0")) << *last;
  EXPECT_FALSE(figures.CloseAt(At(14, 43), database)) << "nothing since";

  // A command after a quiet night: the line names the hour of its commands.
  figures.CountAnswer(At(23, 30), 100, 0, 100);
  const auto night = figures.CloseHourBefore(At(6, 0, 0, 9), database);
  ASSERT_TRUE(night);
  EXPECT_TRUE(Has(*night, "Figures of 2026-12-08 23:00-23:59, pid 4242: ")) << *night;
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
