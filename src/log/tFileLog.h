// Appends lines to one named file, opening and closing it for every line.
#pragma once

#include <cstddef>
#include <string>

#include "log/tCustomLog.h"
#include "platform/LocalTime.h"

class tFileLog : public tCustomLog {
 public:
  // Bytes of one line handed to the write call at most; a longer message is
  // cut so that the line still ends in CR LF.
  static constexpr std::size_t MaxLineBytes = 8191;

  explicit tFileLog(const std::string& FileName, tLocalClock Clock = tLocalTime::Now);

  // Time-stamped line ("HH:NN:SS.ZZZ " message CR LF) in the current file.
  bool WriteLine(const std::string& Message) override;
  virtual std::string GetFileName();
  // Same, in the sibling file named Prefix + "_" + the current file's name.
  virtual bool WriteLineTo(const std::string& Message, const std::string& Prefix);
  // Message and CR LF, without time stamp.
  virtual bool WritePlainLine(const std::string& Message);
  virtual bool WritePlainLineTo(const std::string& Message, const std::string& Prefix);

 protected:
  tLocalTime Now() const { return Clock(); }

  std::string FileName;

 private:
  bool AppendLine(const std::string& Message, const std::string& Prefix, bool Stamped);
  std::string ComposeLine(const std::string& Message, bool Stamped) const;

  tLocalClock Clock;
};
