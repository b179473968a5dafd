#include "log/tPlugInLog.h"

#include <utility>

#include "log/tUniLog.h"
#include "log/uLog.h"
#include "log/uLogVocabulary.h"

tPlugInLog::tPlugInLog() = default;

tPlugInLog::tPlugInLog(std::unique_ptr<tUniLog> file) : File(std::move(file)) {}

tPlugInLog::~tPlugInLog() = default;

// A log that cannot be built costs the lines, never the plugin.
std::unique_ptr<tPlugInLog> tPlugInLog::OpenBesideHost() noexcept {
  try {
    return std::make_unique<tPlugInLog>(OpenLogBesideHost());
  } catch (...) {
  }
  try {
    return std::make_unique<tPlugInLog>();
  } catch (...) {
    return nullptr;
  }
}

void tPlugInLog::SetLevel(int32_t level) noexcept {
  Level = level;
}

bool tPlugInLog::Write(const std::string& line) noexcept {
  const bool written = WriteTo(line, "");
  if (Level > 1) WriteTo(line, FullLogPrefix);
  return written;
}

bool tPlugInLog::WriteHourly(const std::string& line) noexcept {
  return WriteTo(line, "");
}

bool tPlugInLog::WriteFailure(const std::string& line) noexcept {
  Remember(line);
  return Write(line);
}

void tPlugInLog::Remember(const std::string& line) noexcept {
  try {
    Failures.Add(tLocalTime::Now(), line);
  } catch (...) {
  }
}

std::vector<std::string> tPlugInLog::RecentFailures() const {
  return Failures.Lines();
}

std::string tPlugInLog::CurrentFileName() const {
  return File ? File->CurrentFileName() : std::string();
}

uint64_t tPlugInLog::TakeLostLines() noexcept {
  try {
    return File ? File->TakeLostLines() : 0;
  } catch (...) {
    return 0;
  }
}

bool tPlugInLog::HoldsLines() const noexcept {
  try {
    return File && File->HoldsLines();
  } catch (...) {
    return false;
  }
}

void tPlugInLog::WriteHeldLines() noexcept {
  try {
    if (File) File->WriteHeldLines();
  } catch (...) {
  }
}

bool tPlugInLog::WriteTo(const std::string& line, const char* prefix) noexcept {
  if (!File) return false;
  try {
    return File->WriteLineTo(line, prefix);
  } catch (...) {
    return false;
  }
}
