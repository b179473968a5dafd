#include "platform/LocalTime.h"

#include <chrono>

namespace {
constexpr double MillisecondsPerDay = 24.0 * 60 * 60 * 1000;

int DaysSinceOleEpoch(const tLocalTime& time) {
  using namespace std::chrono;
  const sys_days date{year{time.Year} / month{static_cast<unsigned>(time.Month)} /
                      day{static_cast<unsigned>(time.Day)}};
  const sys_days epoch{year{1899} / December / 30};
  return static_cast<int>((date - epoch).count());
}

int MillisecondOfDay(const tLocalTime& time) {
  return ((time.Hour * 60 + time.Minute) * 60 + time.Second) * 1000 + time.Millisecond;
}
}  // namespace

double tLocalTime::OleDate() const {
  return DaysSinceOleEpoch(*this) + MillisecondOfDay(*this) / MillisecondsPerDay;
}
