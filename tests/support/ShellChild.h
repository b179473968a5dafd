// A command line run through /bin/sh with a pipe to or from it, like popen,
// but the child gets only its standard descriptors. The client library opens
// its log file without close-on-exec and locks it while it writes: a child
// that inherits it mid-write keeps that lock, and every Firebird process that
// logs (a server being started included) waits for the child to end.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <string>

class ShellChild {
 public:
  enum class tPipe { FromChild, ToChild };

  ShellChild(const std::string& commandLine, tPipe pipe);
  // Closes the pipe and waits for the child.
  ~ShellChild();
  ShellChild(const ShellChild&) = delete;
  ShellChild& operator=(const ShellChild&) = delete;

  // The parent's end of the pipe; null when the child could not be started.
  FILE* Stream() const { return Stream_; }
  // All the child writes until it closes its end (FromChild).
  std::string ReadToEnd();
  // Closes the pipe, waits for the child and returns its wait status (-1
  // when it was not started or was already waited for).
  int Wait();

 private:
  FILE* Stream_ = nullptr;
  pid_t Pid_ = -1;
};
