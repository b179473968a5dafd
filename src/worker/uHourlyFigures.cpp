#include "worker/uHourlyFigures.h"

#include <algorithm>
#include <limits>

#include "platform/Format.h"
#include "worker/uPlugInConst.h"

namespace {
constexpr int32_t FirstMenuCommand = 100;
constexpr size_t OtherCommand = 3;
constexpr size_t OtherResultCode = 4;
constexpr int64_t MillisecondsPerHour = 3600000;

int64_t WallMilliseconds(const tLocalTime& time) {
  using namespace std::chrono;
  const sys_days date{year{time.Year} / month{static_cast<unsigned>(time.Month)} /
                      day{static_cast<unsigned>(time.Day)}};
  return duration_cast<milliseconds>(date.time_since_epoch()).count() +
         ((time.Hour * 60LL + time.Minute) * 60 + time.Second) * 1000 + time.Millisecond;
}

tLocalTime WallTime(int64_t milliseconds) {
  using namespace std::chrono;
  const sys_days date =
      floor<days>(sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(milliseconds)));
  const year_month_day calendar(date);
  int64_t rest =
      milliseconds - duration_cast<std::chrono::milliseconds>(date.time_since_epoch()).count();
  tLocalTime time;
  time.Year = static_cast<int>(calendar.year());
  time.Month = static_cast<int>(static_cast<unsigned>(calendar.month()));
  time.Day = static_cast<int>(static_cast<unsigned>(calendar.day()));
  time.Hour = static_cast<int>(rest / MillisecondsPerHour);
  rest %= MillisecondsPerHour;
  time.Minute = static_cast<int>(rest / 60000);
  time.Second = static_cast<int>(rest % 60000 / 1000);
  time.Millisecond = static_cast<int>(rest % 1000);
  return time;
}

bool SameHour(const tLocalTime& a, const tLocalTime& b) {
  return a.Year == b.Year && a.Month == b.Month && a.Day == b.Day && a.Hour == b.Hour;
}

size_t CommandSlot(int32_t command) {
  const int64_t slot = int64_t{command} - FirstMenuCommand;
  return slot >= 0 && slot < static_cast<int64_t>(OtherCommand) ? static_cast<size_t>(slot)
                                                                : OtherCommand;
}

size_t ResultCodeSlot(int32_t resultCode) {
  return resultCode >= 0 && resultCode < static_cast<int32_t>(OtherResultCode)
             ? static_cast<size_t>(resultCode)
             : OtherResultCode;
}

// Whole integers only: a host that set a locale with a decimal comma (msvcrt
// is shared with hosts built by old compilers) must not turn 1.471 into 1,471.
std::string Milliseconds(uint64_t microseconds) {
  return Format("%llu.%03u", static_cast<unsigned long long>(microseconds / 1000),
                static_cast<unsigned>(microseconds % 1000));
}

std::string HourText(const tLocalTime& start) {
  return Format("%04d-%02d-%02d %02d:00", start.Year, start.Month, start.Day, start.Hour);
}

std::string ClockText(const tLocalTime& time) {
  return Format("%02d:%02d:%02d", time.Hour, time.Minute, time.Second);
}
}  // namespace

tFiguresTime tFiguresTime::Now() {
  return {tLocalTime::Now(), std::chrono::steady_clock::now()};
}

void tHourlyFigures::NoteQueueLength(size_t length) {
  const auto clipped =
      static_cast<uint32_t>(std::min<size_t>(length, std::numeric_limits<uint32_t>::max()));
  if (clipped > LongestQueue.load(std::memory_order_relaxed))
    LongestQueue.store(clipped, std::memory_order_relaxed);
}

int64_t tHourlyFigures::SecondOf(tClock::time_point time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

void tHourlyFigures::CountAnswer(const tFiguresTime& now, int32_t command, int32_t resultCode,
                                 uint64_t microseconds) {
  std::lock_guard<std::mutex> guard(Lock);
  if (!Span) {
    const int64_t wall = WallMilliseconds(now.Wall);
    const int64_t hourStarts = wall / MillisecondsPerHour * MillisecondsPerHour;
    Span =
        tSpan{now.Wall, hourStarts >= LabelledUntil, now.Monotonic,
              now.Monotonic + std::chrono::milliseconds(hourStarts + MillisecondsPerHour - wall)};
  }
  ++Commands[CommandSlot(command)];
  ++ResultCodes[ResultCodeSlot(resultCode)];
  ++SinceStart.Commands[CommandSlot(command)];
  ++SinceStart.ResultCodes[ResultCodeSlot(resultCode)];
  Latency.Add(microseconds);
  if (resultCode != Result_ProcessingFailed) return;
  const int64_t second = SecondOf(tClock::now());
  tSecondFailures& slot = RecentFailures[static_cast<size_t>(second) % RecentFailures.size()];
  if (slot.Second != second) slot = {second, 0};
  ++slot.Count;
}

void tHourlyFigures::CountLostLogLines(uint64_t lines) {
  std::lock_guard<std::mutex> guard(Lock);
  LostLogLines += lines;
}

void tHourlyFigures::CountDatabase(tDatabaseEvent event) {
  std::lock_guard<std::mutex> guard(Lock);
  DatabaseHour.Count(event);
}

std::optional<std::string> tHourlyFigures::CloseHourBefore(const tFiguresTime& now) {
  std::lock_guard<std::mutex> guard(Lock);
  if (!Span || SpanGoesOn(now)) return std::nullopt;
  return Close(now);
}

std::optional<std::string> tHourlyFigures::CloseAt(const tFiguresTime& now) {
  std::lock_guard<std::mutex> guard(Lock);
  if (!Span) return std::nullopt;
  return Close(now);
}

// The span ends where the monotonic clock says: at its hour's end when that
// has come, else at its start plus the time since.
std::string tHourlyFigures::Close(const tFiguresTime& now) {
  const bool ranOut = now.Monotonic >= Span->HourRunsOut;
  const int64_t started = WallMilliseconds(Span->Start);
  const int64_t reckoned = started + std::chrono::duration_cast<std::chrono::milliseconds>(
                                         now.Monotonic - Span->StartedAt)
                                         .count();
  const std::string start = Span->FromHourStart
                                ? HourText(Span->Start)
                                : HourText(Span->Start).substr(0, 11) + ClockText(Span->Start);
  const std::string end =
      ranOut ? Format("%02d:59", Span->Start.Hour) : ClockText(WallTime(reckoned));
  const std::string line = Line(start + "-" + end);
  LabelledUntil = ranOut ? (started / MillisecondsPerHour + 1) * MillisecondsPerHour : reckoned;
  DatabaseClosed += DatabaseHour;
  DatabaseHour = {};
  Clear();
  return line;
}

bool tHourlyFigures::SpanGoesOn(const tFiguresTime& now) const {
  return Span && now.Monotonic < Span->HourRunsOut && SameHour(Span->Start, now.Wall);
}

void tHourlyFigures::Describe(const tFiguresTime& now, tStatusSnapshot& snapshot) {
  std::lock_guard<std::mutex> guard(Lock);
  snapshot.SinceStart = SinceStart;
  if (SpanGoesOn(now)) {
    std::copy(Commands.begin(), Commands.end(), snapshot.ThisHour.Commands.begin());
    std::copy(ResultCodes.begin(), ResultCodes.end(), snapshot.ThisHour.ResultCodes.begin());
    snapshot.LatencyMedian = Latency.Quantile(0.5);
    snapshot.LatencyP99 = Latency.Quantile(0.99);
  }
  const int64_t second = SecondOf(tClock::now());
  for (const tSecondFailures& slot : RecentFailures)
    if (slot.Second > second - static_cast<int64_t>(RecentFailures.size()))
      snapshot.FailuresLastMinute += slot.Count;
  snapshot.DatabaseTotals = DatabaseClosed;
  snapshot.DatabaseTotals += DatabaseHour;
}

std::string tHourlyFigures::Line(const std::string& period) const {
  return Format(
      "Figures of %s, pid %u: commands 100=%u 101=%u 102=%u other=%u; "
      "result codes 0=%u 1=%u 2=%u 3=%u other=%u; retries deadlock=%llu connection loss=%llu; "
      "reconnects=%llu; outages=%llu; longest queue=%u; "
      "Command_Plugin to callback ms median=%s p99=%s max=%s; log lines lost=%llu",
      period.c_str(), ProcessId, Commands[0], Commands[1], Commands[2], Commands[3], ResultCodes[0],
      ResultCodes[1], ResultCodes[2], ResultCodes[3], ResultCodes[4],
      static_cast<unsigned long long>(DatabaseHour.DeadlockRetries),
      static_cast<unsigned long long>(DatabaseHour.ConnectionLossRetries),
      static_cast<unsigned long long>(DatabaseHour.Reconnects),
      static_cast<unsigned long long>(DatabaseHour.Outages),
      LongestQueue.load(std::memory_order_relaxed), Milliseconds(Latency.Quantile(0.5)).c_str(),
      Milliseconds(Latency.Quantile(0.99)).c_str(), Milliseconds(Latency.Max()).c_str(),
      static_cast<unsigned long long>(LostLogLines));
}

void tHourlyFigures::Clear() {
  Commands.fill(0);
  ResultCodes.fill(0);
  Latency.Clear();
  LongestQueue.store(0, std::memory_order_relaxed);
  LostLogLines = 0;
  Span.reset();
}
