#include "log/tTimeSeparatedFileLog.h"

#include <utility>

#include "log/uDateTimePattern.h"
#include "platform/Paths.h"

tTimeSeparatedFileLog::tTimeSeparatedFileLog(const std::string& Pattern, tLocalClock Clock)
    : tFileLog(std::string(), std::move(Clock)), FileNamePattern(Pattern) {}

std::string tTimeSeparatedFileLog::GetFileName() {
  const std::string expansion = ExpandDateTimePattern(FileNamePattern, Now());
  FileName = ExtractFilePath(expansion).empty() ? std::string() : expansion;
  return FileName;
}
