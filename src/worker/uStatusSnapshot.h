// What the status channel tells of a running plugin, gathered at one moment
// from the session, its figures, the worker and the log. Texts in UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "worker/uDatabaseCounts.h"

// Commands by their command word (100, 101, 102, other) and answers by result
// code (0 to 3, other).
struct tCommandCounts {
  std::array<uint64_t, 4> Commands{};
  std::array<uint64_t, 5> ResultCodes{};
};

// The database as the command path last found it.
enum class tConnectionState {
  // No command or attach has reached a server yet.
  NotYetConnected,
  Connected,
  Unreachable,
};

struct tConnectionStatus {
  tConnectionState State = tConnectionState::NotYetConnected;
  // Local date and time the state began, "2026-12-08 14:02:11"; empty for NotYetConnected.
  std::string Since;
  double Seconds = 0;
  // Unreachable: why, in the client library's words; and the commands that
  // failed since.
  std::string Reason;
  uint64_t FailedCommands = 0;
};

struct tCommandInProgress {
  int32_t CommandId = 0;
  int32_t Command = 0;
  uint64_t Milliseconds = 0;
};

struct tStatusSnapshot {
  std::string Name;
  std::string Version;
  uint32_t ProcessId = 0;
  std::string StartedAt;
  uint64_t UptimeSeconds = 0;
  std::string IniPath;
  // "host:path" and the user; empty when the ini names none.
  std::string Database;
  std::string DatabaseUser;
  tConnectionStatus Connection;
  uint64_t QueueLength = 0;
  uint64_t QueueLimit = 0;
  uint64_t QueueBytes = 0;
  uint64_t QueueByteLimit = 0;
  std::optional<tCommandInProgress> InProgress;
  tCommandCounts SinceStart;
  tCommandCounts ThisHour;
  // Answers with result code 1 in the last 60 seconds.
  uint64_t FailuresLastMinute = 0;
  // Counted since the plugin started.
  tDatabaseCounts DatabaseTotals;
  // Command_Plugin to callback this hour, in microseconds.
  uint64_t LatencyMedian = 0;
  uint64_t LatencyP99 = 0;
  // The latest last, each "HH:NN:SS.ZZZ text" on one line.
  std::vector<std::string> RecentFailures;
  std::string LogFile;
};
