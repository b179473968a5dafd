// A client of a plugin's status socket written by hand, so that a test can
// make it misbehave: connect and send nothing, ask and never read.
#pragma once

#include <string>

class StatusSocketClient {
 public:
  // Connects at once; Connected says whether it could.
  explicit StatusSocketClient(const std::string& path);
  ~StatusSocketClient();
  StatusSocketClient(const StatusSocketClient&) = delete;
  StatusSocketClient& operator=(const StatusSocketClient&) = delete;

  // Sends the bytes and returns what the plugin sent before it closed.
  std::string Ask(const std::string& bytes);

  const int Fd;
  bool Connected = false;
};
