// Appends lines to one named file, opening and closing it for every line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "log/tCustomLog.h"
#include "platform/LocalTime.h"

class tFileLog : public tCustomLog {
 public:
  // Bytes of one line handed to the write call at most; a longer message is
  // shortened in its middle (FitMessage) so that the line keeps its end and
  // still ends in CR LF.
  static constexpr std::size_t MaxLineBytes = 8191;
  // Lines the file cannot take (a viewer holds it, the folder is read-only,
  // the disk is full) wait in memory, oldest first, up to this many bytes,
  // and are written in order once it takes them again. Lines beyond are lost:
  // the first line written after them says how many, since when and why.
  static constexpr std::size_t HeldBytesLimit = 1 << 20;

  explicit tFileLog(const std::string& FileName, tLocalClock Clock = tLocalTime::Now);
  // Lines still held are written if the file takes them within a second;
  // else they are lost, and the system is told (SayToTheSystem).
  ~tFileLog() override;

  // Time-stamped line ("HH:NN:SS.ZZZ " message CR LF) in the current file.
  // True when it was written now; false when it waits or was lost.
  bool WriteLine(const std::string& Message) override;
  virtual std::string GetFileName();
  // Same, in the sibling file named Prefix + "_" + the current file's name.
  virtual bool WriteLineTo(const std::string& Message, const std::string& Prefix);
  // Message and CR LF, without time stamp.
  virtual bool WritePlainLine(const std::string& Message);
  virtual bool WritePlainLineTo(const std::string& Message, const std::string& Prefix);

  // Lines lost since the last call, for the hourly figures.
  uint64_t TakeLostLines();
  bool HoldsLines();
  // One more attempt at the held lines, for a writer that has nothing to write.
  void WriteHeldLines();

 protected:
  tLocalTime Now() const { return Clock(); }
  // Said once when the file stops taking lines, and when held lines are lost
  // at the end: where the log itself cannot say it. The system hears it here;
  // the log server's library first, where there is one. Never under LogLock.
  virtual void SayUnwritable(const std::string& Text);

  std::string FileName;

 private:
  struct tLine {
    std::string File;
    std::string Text;
  };

  bool AppendLine(const std::string& Message, const std::string& Prefix, bool Stamped);
  // Says, outside LogLock, what a write under it found to say.
  void SayPending();
  std::string ComposeLine(const std::string& Message, bool Stamped) const;
  // Under LogLock, in order: the held lines, the gap's line, then this one.
  bool Deliver(tLine Line);
  bool WriteHeld();
  bool WriteGapLine(const std::string& File);
  bool WriteOne(const tLine& Line);
  void Hold(tLine Line);
  void NoteFailure(const std::string& Failure);

  tLocalClock Clock;
  std::deque<tLine> Held;
  std::size_t HeldBytes = 0;
  // Why the file last refused a line; empty while it takes them.
  std::string Failure;
  std::string PendingSay;
  // Lines lost since the last line written, since when, and why.
  uint64_t GapLines = 0;
  tLocalTime GapSince;
  std::string GapReason;
  uint64_t LostLines = 0;
};
