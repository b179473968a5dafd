// The root of the log classes: a lock and the one operation every log has.
#pragma once

#include <mutex>
#include <string>

class tCustomLog {
 public:
  tCustomLog() = default;
  virtual ~tCustomLog() = default;
  tCustomLog(const tCustomLog&) = delete;
  tCustomLog& operator=(const tCustomLog&) = delete;

  virtual bool WriteLine(const std::string& Message) = 0;

 protected:
  // Held for the file write of one line, so lines never interleave.
  std::mutex LogLock;
};
