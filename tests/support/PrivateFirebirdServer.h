#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>

// A Firebird server of the test's own (scripts/private-firebird-server.sh):
// its own root folder and a free port, started, signalled and stopped by the
// process id it was started with, so a test can kill, stop or freeze it
// without touching the system server or anyone else's. It has no guard: a
// killed server stays down until Start. Stopped and removed on destruction,
// whether the test passed or not.
class PrivateFirebirdServer {
 public:
  PrivateFirebirdServer();
  ~PrivateFirebirdServer();
  PrivateFirebirdServer(const PrivateFirebirdServer&) = delete;
  PrivateFirebirdServer& operator=(const PrivateFirebirdServer&) = delete;

  // "127.0.0.1/port", the part of a connection string before ":path".
  std::string Host() const;
  int Port() const { return Port_; }
  pid_t ProcessId() const { return Pid_; }
  // Its root folder: configuration, lock and temp folders, server.out.
  const std::filesystem::path& Folder() const { return Folder_; }
  bool IsRunning() const;

  // Starts a new server process on the same port; returns once it listens.
  void Start();
  // SIGTERM, and waits until the process is gone; one that has not ended
  // after StopPatience is killed, as the server script does.
  void Stop();
  // SIGKILL, and waits until the process is gone.
  void Kill();
  // Kill when running, and Start: what a guard does for a crashed server.
  void Restart();
  // SIGSTOP and SIGCONT: it keeps its port and connections but answers
  // nothing in between.
  void Freeze();
  void Thaw();

 private:
  void Signal(int signal) const;
  // False when the process is still there after within.
  bool WaitUntilGone(std::chrono::milliseconds within) const;
  void WaitUntilGone() const;

  std::filesystem::path Folder_;
  int Port_ = 0;
  pid_t Pid_ = 0;
};

// For fixtures whose base needs the server's host name while it is built:
// derive from this first, so the server is up before and down after the base.
struct PrivateServerFirst {
  PrivateFirebirdServer Server;
};
