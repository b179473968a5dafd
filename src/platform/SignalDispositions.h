// How the process answers the signals that end it, kept across a call into a
// library that would take them over.
#pragma once

#include <memory>

// Saves the process's dispositions of the termination signals when made and
// puts them back when destroyed, so a library called in between cannot leave
// its own handlers in place of the host's. Does nothing where the platform has
// no such dispositions.
class tSignalDispositionsKeeper {
 public:
  tSignalDispositionsKeeper();
  ~tSignalDispositionsKeeper();
  tSignalDispositionsKeeper(const tSignalDispositionsKeeper&) = delete;
  tSignalDispositionsKeeper& operator=(const tSignalDispositionsKeeper&) = delete;

 private:
  struct tSaved;
  std::unique_ptr<tSaved> Saved_;
};
