// A file log whose file name follows the clock: a file per hour, a folder per day.
#pragma once

#include <string>

#include "log/tFileLog.h"

class tTimeSeparatedFileLog : public tFileLog {
 public:
  // Pattern: a date-time pattern (see ExpandDateTimePattern) that includes a folder.
  explicit tTimeSeparatedFileLog(const std::string& Pattern, tLocalClock Clock = tLocalTime::Now);

  // Expands the pattern from the clock; empty when the expansion has no
  // folder part. The folder is made with the first line written into it.
  std::string GetFileName() override;
  // The file a line written now goes to, from any thread; no folder is made.
  std::string CurrentFileName() const;

 private:
  std::string FileNamePattern;
};
