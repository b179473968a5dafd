#pragma once

#include <string>

// Stops and starts the local Firebird server through scripts/firebird-server.sh
// (the tests run as root). Each call waits until the port is open or closed.
struct FirebirdServer {
  static void Start();
  static void Stop();
  static bool IsRunning();
  // The server process's id, empty when there is none.
  static std::string ProcessId();
  // SIGKILL to the server process; its guard starts a new one at once.
  static void Kill();
  // SIGSTOP and SIGCONT to the server process: it keeps its port and its
  // connections but answers nothing in between.
  static void Freeze();
  static void Thaw();
};

// Brings the server back up when it goes out of scope, so a test that stops
// the server leaves it running even when it fails half-way.
class FirebirdServerRestorer {
 public:
  FirebirdServerRestorer() = default;
  ~FirebirdServerRestorer();
  FirebirdServerRestorer(const FirebirdServerRestorer&) = delete;
  FirebirdServerRestorer& operator=(const FirebirdServerRestorer&) = delete;
};
