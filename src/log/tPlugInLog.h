// The plugin's log, built by the session and handed down to the worker, the
// menu database and the handlers. Every call is safe from any thread and never
// raises; a log without a file (the library's own file name unknown, or a
// caller that wants none) takes every line and writes none.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "log/tRecentLines.h"

class tUniLog;

class tPlugInLog {
 public:
  tPlugInLog();
  explicit tPlugInLog(std::unique_ptr<tUniLog> file);
  ~tPlugInLog();
  tPlugInLog(const tPlugInLog&) = delete;
  tPlugInLog& operator=(const tPlugInLog&) = delete;

  // Logs/<day>/<hour>_<library file>.log beside the host program, offered
  // first to the log server the host's ini names; a log without a file when
  // that cannot be built.
  static std::unique_ptr<tPlugInLog> OpenBesideHost() noexcept;

  // The worker's LogLevel: from 2 on, Write copies each line to the full_ file.
  void SetLevel(int32_t level) noexcept;

  // The lines of Init_Plugin, of each command and of Finalize_Plugin: to the
  // hourly file, and from LogLevel 2 on once more to the full_ file.
  bool Write(const std::string& line) noexcept;
  // The menu database's own reconnects, retries and outages, the queue's
  // lines: to the hourly file alone.
  bool WriteHourly(const std::string& line) noexcept;
  // A line that tells of a failure: as Write, and kept for the status channel.
  bool WriteFailure(const std::string& line) noexcept;
  // Keeps a line written otherwise among the last few failures.
  void Remember(const std::string& line) noexcept;
  std::vector<std::string> RecentFailures() const;

  // The file a line written now goes to; empty without a file.
  std::string CurrentFileName() const;
  // The file's refusals, for the session: lines lost since the last call, for
  // the hourly figures; whether lines wait for the file; one more attempt at them.
  uint64_t TakeLostLines() noexcept;
  bool HoldsLines() const noexcept;
  void WriteHeldLines() noexcept;

 private:
  bool WriteTo(const std::string& line, const char* prefix) noexcept;

  std::unique_ptr<tUniLog> File;
  std::atomic<int32_t> Level{0};
  tRecentLines Failures;
};
