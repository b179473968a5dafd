// The plugin's read-only status channel ([Main] StatusChannel=1): a thread of
// its own answers one client at a time on the endpoint, with what Gather
// finds at that moment. The command path never waits for it: a client has
// ClientPatience to send its request and as long to take the answer, and
// gathering reads counters under locks held only for a copy.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/StatusEndpoint.h"
#include "worker/uStatusSnapshot.h"

class tStatusChannel {
 public:
  static constexpr std::chrono::milliseconds ClientPatience{1000};

  using tGather = std::function<tStatusSnapshot()>;
  // Opens the endpoint and starts the thread; raises tStatusEndpointError.
  tStatusChannel(const std::string& pluginName, const std::string& logsFolder, tGather gather);
  // Stops the thread, after the client it serves, and removes the endpoint.
  ~tStatusChannel();
  tStatusChannel(const tStatusChannel&) = delete;
  tStatusChannel& operator=(const tStatusChannel&) = delete;

  std::string Description() const { return Endpoint.Description(); }

 private:
  void Serve() noexcept;
  void Answer(tStatusConnection& client);

  tStatusEndpoint Endpoint;
  tGather Gather;
  std::thread Thread;
};
