#include "platform/LocalTime.h"

#include <time.h>

tLocalTime tLocalTime::Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  tLocalTime result;
  result.Year = local.tm_year + 1900;
  result.Month = local.tm_mon + 1;
  result.Day = local.tm_mday;
  result.Hour = local.tm_hour;
  result.Minute = local.tm_min;
  result.Second = local.tm_sec;
  result.Millisecond = static_cast<int>(now.tv_nsec / 1000000);
  return result;
}

char TimeSeparator() {
  return ':';
}
