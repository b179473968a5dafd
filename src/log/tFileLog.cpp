#include "log/tFileLog.h"

#include <chrono>
#include <cstdio>
#include <string_view>
#include <thread>
#include <utility>

#include "log/uLineFit.h"
#include "log/uLogVocabulary.h"
#include "platform/AppendFile.h"
#include "platform/DebugOutput.h"
#include "platform/Directories.h"
#include "platform/Format.h"
#include "platform/Paths.h"

namespace {
constexpr std::size_t TimeStampLength = 13;
constexpr std::string_view LineBreak = "\r\n";
constexpr int EndAttempts = 20;
constexpr size_t HeldRunBytes = 64 * 1024;
constexpr auto EndPause = std::chrono::milliseconds(50);

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
  return ExtractFilePath(FileName) + PrefixedLogFileName(Prefix, ExtractFileName(FileName));
}

std::string Lines(uint64_t count) {
  return Format("%llu line%s", static_cast<unsigned long long>(count), count == 1 ? "" : "s");
}

std::string DayAndTime(const tLocalTime& time) {
  return Format("%04d-%02d-%02d %02d:%02d:%02d.%03d", time.Year, time.Month, time.Day, time.Hour,
                time.Minute, time.Second, time.Millisecond);
}
}  // namespace

tFileLog::tFileLog(const std::string& FileName, tLocalClock Clock)
    : FileName(FileName), Clock(std::move(Clock)) {}

// A viewer holding the file as the log ends is given a moment to let go.
tFileLog::~tFileLog() {
  std::unique_lock guard(LogLock);
  for (int attempt = 1; !WriteHeld(); ++attempt) {
    if (attempt == EndAttempts) break;
    std::this_thread::sleep_for(EndPause);
  }
  if (Held.empty()) return;
  const std::string text =
      Format("the log lost %s at its end: %s", Lines(Held.size()).c_str(), Failure.c_str());
  guard.unlock();
  SayUnwritable(text);
}

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

uint64_t tFileLog::TakeLostLines() {
  const std::lock_guard guard(LogLock);
  return std::exchange(LostLines, 0);
}

bool tFileLog::HoldsLines() {
  const std::lock_guard guard(LogLock);
  return !Held.empty();
}

void tFileLog::WriteHeldLines() {
  {
    const std::lock_guard guard(LogLock);
    WriteHeld();
  }
  SayPending();
}

void tFileLog::SayPending() {
  std::string text;
  {
    const std::lock_guard guard(LogLock);
    text.swap(PendingSay);
  }
  if (!text.empty()) SayUnwritable(text);
}

void tFileLog::SayUnwritable(const std::string& Text) {
  SayToTheSystem(Text);
}

bool tFileLog::AppendLine(const std::string& Message, const std::string& Prefix, bool Stamped) {
  bool written = false;
  {
    const std::lock_guard guard(LogLock);
    const std::string name = PrefixedFileName(GetFileName(), Prefix);
    if (name.empty()) return false;
    written = Deliver({name, ComposeLine(Message, Stamped)});
  }
  SayPending();
  return written;
}

// A longer line loses the middle of its message, never its end or its CR LF:
// the next line must not be glued onto it.
std::string tFileLog::ComposeLine(const std::string& Message, bool Stamped) const {
  std::string line;
  line.reserve(TimeStampLength + Message.size() + LineBreak.size());
  if (Stamped) line += FormatTimeStamp(Now());
  line += FitMessage(Message, MaxLineBytes - LineBreak.size() - line.size());
  line += LineBreak;
  return line;
}

bool tFileLog::Deliver(tLine Line) {
  if (WriteHeld() && (GapLines == 0 || WriteGapLine(Line.File)) && WriteOne(Line)) return true;
  Hold(std::move(Line));
  return false;
}

// The lines of one file that follow each other go in one write: a viewer that
// let go of the file after seconds finds thousands waiting.
bool tFileLog::WriteHeld() {
  while (!Held.empty()) {
    tLine run{Held.front().File, {}};
    size_t lines = 0;
    for (; lines < Held.size() && Held[lines].File == run.File && run.Text.size() < HeldRunBytes;
         ++lines)
      run.Text += Held[lines].Text;
    if (!WriteOne(run)) return false;
    HeldBytes -= run.Text.size();
    Held.erase(Held.begin(), Held.begin() + static_cast<std::ptrdiff_t>(lines));
  }
  return true;
}

bool tFileLog::WriteGapLine(const std::string& File) {
  const std::string text =
      Format("Log gap: %s could not be written since %s: %s", Lines(GapLines).c_str(),
             DayAndTime(GapSince).c_str(), GapReason.c_str());
  if (!WriteOne({File, ComposeLine(text, true)})) return false;
  GapLines = 0;
  return true;
}

// The day folder is made here, so that a line whose folder cannot be made
// waits with its file's name.
bool tFileLog::WriteOne(const tLine& Line) {
  const std::string folder = ExtractFilePath(Line.File);
  std::string reason;
  if (!folder.empty() && !ForceDirectories(folder, &reason)) {
    NoteFailure("cannot make the folder " + PathText(folder) + ": " + reason);
    return false;
  }
  tAppendFile file(Line.File);
  if (!file.IsOpen() || !file.SeekToEnd() || !file.Write(Line.Text.data(), Line.Text.size())) {
    NoteFailure("cannot write " + PathText(Line.File) + ": " + file.Failure());
    return false;
  }
  Failure.clear();
  return true;
}

void tFileLog::Hold(tLine Line) {
  if (HeldBytes + Line.Text.size() <= HeldBytesLimit) {
    HeldBytes += Line.Text.size();
    Held.push_back(std::move(Line));
    return;
  }
  if (GapLines == 0) {
    GapSince = Now();
    GapReason = Failure;
  }
  ++GapLines;
  ++LostLines;
}

void tFileLog::NoteFailure(const std::string& Reason) {
  const bool first = Failure.empty();
  Failure = Reason;
  if (first) PendingSay = "the log cannot be written, lines wait in memory: " + Reason;
}
