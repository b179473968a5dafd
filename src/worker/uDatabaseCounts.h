// What the command path's database steps count, for the hourly figures and the
// status channel's totals.
#pragma once

#include <cstdint>

enum class tDatabaseEvent {
  DeadlockRetry,
  ConnectionLossRetry,
  Reconnect,
  RequestCutOff,
  // The database became unreachable.
  Outage,
};

struct tDatabaseCounts {
  uint64_t DeadlockRetries = 0;
  uint64_t ConnectionLossRetries = 0;
  uint64_t Reconnects = 0;
  uint64_t RequestsCutOff = 0;
  // Attaches left to end on their own threads; the process's count, which the
  // worker gives the status channel.
  uint64_t AttachesLeftBehind = 0;
  uint64_t Outages = 0;

  void Count(tDatabaseEvent event);
  tDatabaseCounts& operator+=(const tDatabaseCounts& other);
};
