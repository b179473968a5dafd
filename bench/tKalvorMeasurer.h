// Kalvor end to end, as a host uses it: its own copy of the plugin loaded
// with dlopen, one command in flight, from Command_Plugin to the callback.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#include "tMeasurer.h"
#include "tPluginHost.h"
#include "tStatusPoller.h"

class tKalvorMeasurer : public tMeasurer {
 public:
  // pluginPath: the plugin file to copy, such as the one this tree built;
  // requestTimeout: the ini's RequestTimeout, or none for the plugin's default;
  // statusPerSecond: the status channel open and asked so often, or not open.
  tKalvorMeasurer(const std::string& pluginPath, const std::string& dbName,
                  const std::string& password, int logLevel,
                  std::optional<int> requestTimeout = std::nullopt, int statusPerSecond = 0);
  ~tKalvorMeasurer() override;

  std::string Name() const override;
  // The status poller, if any, asks from BeginRound to EndRound only.
  void BeginRound() override;
  void EndRound() override;
  void Run(tBenchCommand command, const std::string& key) override;

  // Queues the requests at once and waits for all their callbacks; the seconds taken.
  double RunQueued(const std::vector<std::vector<uint8_t>>& requests);
  tPluginHost& Host() { return *Host_; }
  const tStatusPoller* Poller() const { return Poller_.get(); }

 private:
  int LogLevel_;
  std::optional<int> RequestTimeout_;
  int StatusPerSecond_;
  TempFolder Folder_;
  std::unique_ptr<tPluginHost> Host_;
  std::unique_ptr<tStatusPoller> Poller_;
};

std::vector<uint8_t> BenchRequest(tBenchCommand command, const std::string& key);
