#pragma once

#include <atomic>
#include <string>
#include <thread>

// A relay on 127.0.0.1 between the plugin and a server, which a test makes
// misbehave the way networks and servers do, every socket kept open.
class TcpProxy {
 public:
  enum class tMode {
    Forward,
    // Nothing is carried either way, and new connections are accepted and
    // held: a partition, or a switch that went dead.
    Partition,
    // Each connection gets the server's first answer and nothing after: a
    // server that answers the connect packet and then goes silent.
    FirstAnswerOnly,
  };

  explicit TcpProxy(int serverPort, tMode mode = tMode::Forward);
  ~TcpProxy();
  TcpProxy(const TcpProxy&) = delete;
  TcpProxy& operator=(const TcpProxy&) = delete;

  // "127.0.0.1/port", the part of a connection string before ":path".
  std::string Host() const;
  // Connections held in Partition are closed when it ends.
  void SetMode(tMode mode) { Mode_ = mode; }

 private:
  void Run();

  const int ServerPort_;
  int Listener_ = -1;
  int Port_ = 0;
  std::atomic<tMode> Mode_;
  std::atomic<bool> Quit_{false};
  std::thread Thread_;
};
