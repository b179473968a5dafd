// The figures of one hour of commands, written to the log as one line at the
// first command of the next hour and at Finalize_Plugin. Each line is
// labelled by the span it counted: when the wall clock steps, the span ends
// there, as the monotonic clock measured it, and the next begins. For the
// status channel, the same since the start and the failures of the last minute.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>

#include "platform/LocalTime.h"
#include "platform/ProcessId.h"
#include "worker/uDatabaseCounts.h"
#include "worker/uLatencyHistogram.h"
#include "worker/uStatusSnapshot.h"

// A moment as the figures see it: the local wall clock, which may step, and a
// monotonic clock, which does not.
struct tFiguresTime {
  tLocalTime Wall;
  std::chrono::steady_clock::time_point Monotonic;

  static tFiguresTime Now();
};

class tHourlyFigures {
 public:
  // The line names the process, so that the lines of many short runs in one
  // hour's file can be told apart.
  explicit tHourlyFigures(uint32_t processId = CurrentProcessId()) : ProcessId(processId) {}

  // From the host's threads, with the session's queue lock held: the queue's
  // length after a command was added.
  void NoteQueueLength(size_t length);

  // The rest on the session thread, under a lock of the figures' own that the
  // status channel takes to read them. One command called back: its command
  // word, the result code it was answered with, and the time from
  // Command_Plugin to the callback.
  void CountAnswer(const tFiguresTime& now, int32_t command, int32_t resultCode,
                   uint64_t microseconds);
  // One event of the menu database's steps, counted into the hour.
  void CountDatabase(tDatabaseEvent event);
  // Log lines the file could not take and that were lost (tFileLog); taken
  // from the log before a line is closed.
  void CountLostLogLines(uint64_t lines);
  // Before a command runs: when the figures' hour has run out, or the wall
  // clock has left it, the line of what they counted, and the figures start
  // afresh.
  std::optional<std::string> CloseHourBefore(const tFiguresTime& now);
  // At Finalize_Plugin: the line of the hour so far, if it saw any command.
  std::optional<std::string> CloseAt(const tFiguresTime& now);

  // From any thread: the counts since start and of the span under way at
  // now, the failures of the last minute, the span's latency and the database
  // totals.
  void Describe(const tFiguresTime& now, tStatusSnapshot& snapshot);

 private:
  using tClock = std::chrono::steady_clock;
  // Answers with result code 1 in one second.
  struct tSecondFailures {
    int64_t Second = -1;
    uint64_t Count = 0;
  };

  // The span the figures count: from its first command's wall time (its
  // hour's start, unless that was labelled already) until its hour runs out
  // on the monotonic clock.
  struct tSpan {
    tLocalTime Start;
    bool FromHourStart = true;
    std::chrono::steady_clock::time_point StartedAt;
    std::chrono::steady_clock::time_point HourRunsOut;
  };

  // With Lock held: a span is under way and now still lies in it.
  bool SpanGoesOn(const tFiguresTime& now) const;
  // With Lock held: the line of the span, which ends at now.
  std::string Close(const tFiguresTime& now);
  std::string Line(const std::string& period) const;
  void Clear();
  static int64_t SecondOf(tClock::time_point time);

  std::mutex Lock;
  tCommandCounts SinceStart;
  tDatabaseCounts DatabaseHour;
  // The database counts of the hours closed.
  tDatabaseCounts DatabaseClosed;
  std::array<tSecondFailures, 60> RecentFailures{};

  // Commands 100, 101, 102 and any other word.
  std::array<uint32_t, 4> Commands{};
  // Result codes 0 to 3 and any other.
  std::array<uint32_t, 5> ResultCodes{};
  tLatencyHistogram Latency;
  std::atomic<uint32_t> LongestQueue{0};
  std::optional<tSpan> Span;
  // Where the last line's label ended, in milliseconds of the wall clock: a
  // span that begins in an hour labelled up to a later time (the clock was
  // set back) is labelled from its first command, not from its hour's start.
  int64_t LabelledUntil = std::numeric_limits<int64_t>::min();
  uint64_t LostLogLines = 0;
  uint32_t ProcessId;
};
