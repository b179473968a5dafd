// A file log whose file name follows the clock: a file per hour, a folder per day.
#pragma once

#include <string>

#include "log/tFileLog.h"

class tTimeSeparatedFileLog : public tFileLog {
 public:
  // Pattern: a date-time pattern (see ExpandDateTimePattern) that includes a folder.
  explicit tTimeSeparatedFileLog(const std::string& Pattern, tLocalClock Clock = tLocalTime::Now);

  // Expands the pattern from the clock and creates its folder when missing;
  // empty when the folder cannot be had.
  std::string GetFileName() override;

 private:
  std::string FileNamePattern;
};
