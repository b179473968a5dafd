// A stream of UTF-8 text that reaches the console in the console's own bytes
// (see ForConsole), handed on after every output operation, so nothing waits
// for the end of a run that may end badly. Each operation writes whole
// characters, as the tool's texts are whole strings.
#pragma once

#include <ostream>
#include <sstream>

#include "uSystem.h"

class tConsoleStream : public std::ostream {
 public:
  explicit tConsoleStream(std::ostream& target) : std::ostream(&Buffer), Buffer(target) {
    setf(std::ios::unitbuf);
  }
  ~tConsoleStream() override { Buffer.pubsync(); }

 private:
  class tBuffer : public std::stringbuf {
   public:
    explicit tBuffer(std::ostream& target) : Target(target) {}

   protected:
    int sync() override {
      Target << ForConsole(str());
      str("");
      Target.flush();
      return 0;
    }

   private:
    std::ostream& Target;
  };

  tBuffer Buffer;
};
