#include "worker/uHourlyFigures.h"

#include <algorithm>
#include <limits>

#include "platform/Format.h"

namespace {
constexpr int32_t FirstMenuCommand = 100;
constexpr size_t OtherCommand = 3;
constexpr size_t OtherResultCode = 4;

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
}  // namespace

void tHourlyFigures::NoteQueueLength(size_t length) {
  const auto clipped =
      static_cast<uint32_t>(std::min<size_t>(length, std::numeric_limits<uint32_t>::max()));
  if (clipped > LongestQueue.load(std::memory_order_relaxed))
    LongestQueue.store(clipped, std::memory_order_relaxed);
}

void tHourlyFigures::CountAnswer(const tLocalTime& now, int32_t command, int32_t resultCode,
                                 uint64_t microseconds) {
  if (!HourStart) HourStart = now;
  ++Commands[CommandSlot(command)];
  ++ResultCodes[ResultCodeSlot(resultCode)];
  Latency.Add(microseconds);
}

std::optional<std::string> tHourlyFigures::CloseHourBefore(const tLocalTime& now,
                                                           tDatabaseFigures& database) {
  if (!HourStart || SameHour(*HourStart, now)) return std::nullopt;
  const std::string line =
      Line(HourText(*HourStart) + Format("-%02d:59", HourStart->Hour), database);
  database = {};
  Clear();
  return line;
}

std::optional<std::string> tHourlyFigures::CloseAt(const tLocalTime& now,
                                                   tDatabaseFigures& database) {
  if (!HourStart) return std::nullopt;
  const std::string period =
      HourText(*HourStart) + Format("-%02d:%02d:%02d", now.Hour, now.Minute, now.Second);
  const std::string line = Line(period, database);
  database = {};
  Clear();
  return line;
}

std::string tHourlyFigures::Line(const std::string& period,
                                 const tDatabaseFigures& database) const {
  return Format(
      "Figures of %s, pid %u: commands 100=%u 101=%u 102=%u other=%u; "
      "result codes 0=%u 1=%u 2=%u 3=%u other=%u; retries deadlock=%u connection loss=%u; "
      "reconnects=%u; longest queue=%u; "
      "Command_Plugin to callback ms median=%s p99=%s max=%s; log lines lost=%llu",
      period.c_str(), ProcessId, Commands[0], Commands[1], Commands[2], Commands[3], ResultCodes[0],
      ResultCodes[1], ResultCodes[2], ResultCodes[3], ResultCodes[4], database.DeadlockRetries,
      database.ConnectionLossRetries, database.Reconnects,
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
  HourStart.reset();
}
