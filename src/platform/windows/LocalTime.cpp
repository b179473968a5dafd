#include "platform/LocalTime.h"

#include <windows.h>

tLocalTime tLocalTime::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  tLocalTime result;
  result.Year = now.wYear;
  result.Month = now.wMonth;
  result.Day = now.wDay;
  result.Hour = now.wHour;
  result.Minute = now.wMinute;
  result.Second = now.wSecond;
  result.Millisecond = now.wMilliseconds;
  return result;
}

// Read once, as the locale settings stood when the library first needed them.
char TimeSeparator() {
  static const char separator = [] {
    char text[8] = {};
    const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, text, sizeof(text));
    return length > 1 ? text[0] : ':';
  }();
  return separator;
}
