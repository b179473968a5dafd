// One plugin session for the tool: load, Init_Plugin, commands, Finalize_Plugin.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tPluginHost.h"

// No callback came within the time-out.
class tCallbackTimeout : public tHostError {
 public:
  using tHostError::tHostError;
};

// The Kalvor.so in the folder of the running executable.
std::string DefaultPluginPath();

class tHostSession {
 public:
  tHostSession(const std::string& pluginPath, std::chrono::milliseconds timeout);
  ~tHostSession();
  tHostSession(const tHostSession&) = delete;
  tHostSession& operator=(const tHostSession&) = delete;

  // Queues the buffer and returns the buffer of its callback; raises tHostError
  // when the plugin refuses it and tCallbackTimeout when no callback comes.
  std::vector<uint8_t> Send(int32_t commandId, const std::vector<uint8_t>& buffer);

 private:
  tPluginHost Host;
  std::chrono::milliseconds Timeout;
};
