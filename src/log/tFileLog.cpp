#include "log/tFileLog.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "platform/AppendFile.h"
#include "platform/Paths.h"

namespace {
constexpr std::size_t TimeStampLength = 13;
constexpr std::string_view LineBreak = "\r\n";

std::string FormatTimeStamp(const tLocalTime& time) {
  const char separator = TimeSeparator();
  char stamp[32];
  std::snprintf(stamp, sizeof(stamp), "%02d%c%02d%c%02d.%03d ", time.Hour, separator, time.Minute,
                separator, time.Second, time.Millisecond);
  return stamp;
}

// An empty current name yields no file at all: a bare "prefix_" in the
// process's working folder would be a file nobody looks for.
std::string PrefixedFileName(const std::string& FileName, const std::string& Prefix) {
  if (Prefix.empty() || FileName.empty()) return FileName;
  return ExtractFilePath(FileName) + Prefix + "_" + ExtractFileName(FileName);
}
}  // namespace

tFileLog::tFileLog(const std::string& FileName, tLocalClock Clock)
    : FileName(FileName), Clock(std::move(Clock)) {}

bool tFileLog::WriteLine(const std::string& Message) {
  return AppendLine(Message, {}, true);
}

std::string tFileLog::GetFileName() {
  return FileName;
}

bool tFileLog::WriteLineTo(const std::string& Message, const std::string& Prefix) {
  return AppendLine(Message, Prefix, true);
}

bool tFileLog::WritePlainLine(const std::string& Message) {
  return AppendLine(Message, {}, false);
}

bool tFileLog::WritePlainLineTo(const std::string& Message, const std::string& Prefix) {
  return AppendLine(Message, Prefix, false);
}

bool tFileLog::AppendLine(const std::string& Message, const std::string& Prefix, bool Stamped) {
  const std::lock_guard guard(LogLock);
  const std::string name = PrefixedFileName(GetFileName(), Prefix);
  if (name.empty()) return false;
  tAppendFile file(name);
  if (!file.IsOpen() || !file.SeekToEnd()) return false;
  const std::string line = ComposeLine(Message, Stamped);
  return file.Write(line.data(), line.size());
}

// A longer line loses the end of its message, never its CR LF: the next line
// must not be glued onto it.
std::string tFileLog::ComposeLine(const std::string& Message, bool Stamped) const {
  std::string line;
  line.reserve(TimeStampLength + Message.size() + LineBreak.size());
  if (Stamped) line += FormatTimeStamp(Now());
  line.append(Message, 0, MaxLineBytes - LineBreak.size() - line.size());
  line += LineBreak;
  return line;
}
