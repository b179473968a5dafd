#include "log/tTimeSeparatedFileLog.h"

#include <utility>

#include "log/uDateTimePattern.h"
#include "platform/Paths.h"

tTimeSeparatedFileLog::tTimeSeparatedFileLog(const std::string& Pattern, tLocalClock Clock)
    : tFileLog(std::string(), std::move(Clock)), FileNamePattern(Pattern) {}

std::string tTimeSeparatedFileLog::GetFileName() {
  FileName = CurrentFileName();
  return FileName;
}

std::string tTimeSeparatedFileLog::CurrentFileName() const {
  const std::string expansion = ExpandDateTimePattern(FileNamePattern, Now());
  return ExtractFilePath(expansion).empty() ? std::string() : expansion;
}
