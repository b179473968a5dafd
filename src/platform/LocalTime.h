// The local wall clock, broken into calendar fields.
#pragma once

#include <functional>

struct tLocalTime {
  int Year = 0;
  int Month = 0;  // 1..12
  int Day = 0;    // 1..31
  int Hour = 0;   // 0..23
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;

  static tLocalTime Now();

  // Days since 30 December 1899, the fraction giving the time of day: the
  // form the log server library expects its time stamps in.
  double OleDate() const;
};

// The separator between hours, minutes and seconds in the user's locale
// settings (":" unless they say otherwise; always ":" where there are none).
char TimeSeparator();

// Where the logs read the time from; tests put a fixed clock in its place.
using tLocalClock = std::function<tLocalTime()>;
