#include "support/ShellChild.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

// Its actions are freed however the spawn ends.
struct tSpawnActions {
  posix_spawn_file_actions_t Actions;
  tSpawnActions() { posix_spawn_file_actions_init(&Actions); }
  ~tSpawnActions() { posix_spawn_file_actions_destroy(&Actions); }
};

}  // namespace

ShellChild::ShellChild(const std::string& commandLine, tPipe pipe) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  const bool fromChild = pipe == tPipe::FromChild;
  const int childEnd = fromChild ? ends[1] : ends[0];
  const int parentEnd = fromChild ? ends[0] : ends[1];
  tSpawnActions spawn;
  posix_spawn_file_actions_adddup2(&spawn.Actions, childEnd, fromChild ? STDOUT_FILENO : STDIN_FILENO);
  posix_spawn_file_actions_addclosefrom_np(&spawn.Actions, STDERR_FILENO + 1);
  char shell[] = "/bin/sh", dashC[] = "-c";
  char* arguments[] = {shell, dashC, const_cast<char*>(commandLine.c_str()), nullptr};
  const bool started = posix_spawn(&Pid_, shell, &spawn.Actions, nullptr, arguments, environ) == 0;
  ::close(childEnd);
  if (!started) {
    Pid_ = -1;
    ::close(parentEnd);
    return;
  }
  Stream_ = fdopen(parentEnd, fromChild ? "r" : "w");
  if (Stream_ == nullptr) ::close(parentEnd);
}

ShellChild::~ShellChild() {
  Wait();
}

std::string ShellChild::ReadToEnd() {
  std::string text;
  if (Stream_ == nullptr) return text;
  char chunk[4096];
  size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, Stream_)) > 0) text.append(chunk, got);
  return text;
}

int ShellChild::Wait() {
  if (Stream_ != nullptr) std::fclose(Stream_);
  Stream_ = nullptr;
  if (Pid_ < 0) return -1;
  int status = 0;
  pid_t waited = 0;
  do {
    waited = waitpid(Pid_, &status, 0);
  } while (waited < 0 && errno == EINTR);
  Pid_ = -1;
  return waited < 0 ? -1 : status;
}
