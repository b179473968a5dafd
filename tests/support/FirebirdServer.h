#pragma once

// Stops and starts the local Firebird server through scripts/firebird-server.sh
// (the tests run as root). Each call waits until the port is open or closed.
struct FirebirdServer {
  static void Start();
  static void Stop();
  static bool IsRunning();
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
