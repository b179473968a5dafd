// The status channel's local endpoint (include/kalvor/status_channel.h says
// where it is): a Unix domain socket, or on Windows a named pipe, that takes
// one client at a time. Every wait ends at a deadline or when the endpoint is
// stopped, so a client that never sends or never reads holds nothing longer.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

class tStatusEndpointError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

using tStatusDeadline = std::chrono::steady_clock::time_point;

class tStatusConnection {
 public:
  virtual ~tStatusConnection() = default;
  // The request's bytes up to and including its line feed, at most limit
  // bytes: fewer when the client stops sending, the deadline passes or the
  // endpoint is stopped; limit bytes without a line feed for a longer one.
  virtual std::string ReadRequest(std::size_t limit, tStatusDeadline deadline) = 0;
  // What the client has not taken by the deadline is dropped.
  virtual void WriteAnswer(const std::string& answer, tStatusDeadline deadline) = 0;
};

class tStatusEndpoint {
 public:
  // The endpoint of the plugin of that name in this process. On Linux the
  // socket's group is that of logsFolder, and the group may connect when it
  // may write there. Raises tStatusEndpointError with the system's words.
  tStatusEndpoint(const std::string& pluginName, const std::string& logsFolder);
  // Closed, and its socket file removed.
  ~tStatusEndpoint();
  tStatusEndpoint(const tStatusEndpoint&) = delete;
  tStatusEndpoint& operator=(const tStatusEndpoint&) = delete;

  // Where it is and who may connect, as the log says it.
  std::string Description() const;
  // Waits for the next client; null once stopped.
  std::unique_ptr<tStatusConnection> Accept();
  // From any thread: Accept and the connection's waits return at once, now and later.
  void Stop() noexcept;

  struct tImpl;

 private:
  std::unique_ptr<tImpl> Impl;
};

// The plugin's name as endpoint names carry it: letters, digits and "_"
// kept, every other byte written as "_", at most 40 characters.
std::string StatusEndpointName(const std::string& pluginName);
