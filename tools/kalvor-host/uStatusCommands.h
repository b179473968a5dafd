// kalvor-host status and kalvor-host health: the running plugins' status
// channels asked, without loading a plugin.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "uHostArguments.h"

// The Nagios plugin convention, which Icinga and Zabbix run as well.
inline constexpr int Health_Ok = 0;
inline constexpr int Health_Warning = 1;
inline constexpr int Health_Critical = 2;
inline constexpr int Health_Unknown = 3;

struct tHealthVerdict {
  int Status = Health_Unknown;
  // The one line, with performance data after "|".
  std::string Line;
};

// The statuses the plugins answered (their JSON) and what could not be
// asked, judged: CRITICAL for a database unreachable beyond the limit or a
// full queue; WARNING for a shorter outage, a queue or failures beyond their
// limits; UNKNOWN when nothing answered or something could not be asked. The
// worst of the plugins counts, CRITICAL before WARNING before UNKNOWN.
tHealthVerdict JudgeHealth(const std::vector<nlohmann::json>& statuses,
                           const std::vector<std::string>& unasked, const tHealthLimits& limits);

// Both print to out and return their exit status; status explains to err.
int RunStatus(const tHostOptions& options, std::ostream& out, std::ostream& err);
int RunHealth(const tHostOptions& options, std::ostream& out);

// The line health prints for a command line it cannot run (exit status 3).
std::string HealthUsageLine(const std::string& message);
