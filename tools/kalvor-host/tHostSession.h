// One plugin session for the tool: load, Init_Plugin, commands, Finalize_Plugin.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "tPluginHost.h"
#include "uPluginLog.h"

// No callback came within the time-out.
class tCallbackTimeout : public tHostError {
 public:
  using tHostError::tHostError;
};

// The Kalvor.so in the folder of the running executable.
std::string DefaultPluginPath();

class tHostSession {
 public:
  // reasons: where the plugin's log lines of a failed command are shown.
  tHostSession(const std::string& pluginPath, std::chrono::milliseconds timeout,
               std::ostream& reasons);
  ~tHostSession();
  tHostSession(const tHostSession&) = delete;
  tHostSession& operator=(const tHostSession&) = delete;

  // Queues the buffer and returns the buffer of its callback; raises tHostError
  // when the plugin refuses it and tCallbackTimeout when no callback comes.
  // An answer that reports a failure, and a time-out, show the command's log lines.
  std::vector<uint8_t> Send(int32_t commandId, const std::vector<uint8_t>& buffer);

  // What the plugin logged for the last command that failed or timed out.
  const tCommandLog& LastFailureLog() const { return FailureLog; }

 private:
  void ShowReasons(int32_t commandId);
  void ShowUnreadableIni();

  tPluginHost Host;
  std::string PluginPath;
  std::chrono::milliseconds Timeout;
  std::ostream& Reasons;
  tPluginLog Log;
  tCommandLog FailureLog;
};
