#include "log/tTimeSeparatedFileLog.h"

#include <utility>

#include "log/uDateTimePattern.h"
#include "platform/Directories.h"
#include "platform/Paths.h"

tTimeSeparatedFileLog::tTimeSeparatedFileLog(const std::string& Pattern, tLocalClock Clock)
    : tFileLog(std::string(), std::move(Clock)), FileNamePattern(Pattern) {}

std::string tTimeSeparatedFileLog::GetFileName() {
  const std::string expansion = ExpandDateTimePattern(FileNamePattern, Now());
  const std::string folder = ExtractFilePath(expansion);
  FileName = !folder.empty() && ForceDirectories(folder) ? expansion : std::string();
  return FileName;
}
