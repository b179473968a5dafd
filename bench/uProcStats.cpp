#include "uProcStats.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {
std::string FirstLine(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

// The server's process: named "firebird" (its guard is "fbguard").
std::string ServerProcessFolder() {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    if (FirstLine(entry.path().string() + "/comm") == "firebird") return entry.path().string();
  }
  return {};
}
}  // namespace

double ServerCpuSeconds() {
  const std::string folder = ServerProcessFolder();
  if (folder.empty()) return 0;
  const std::string stat = FirstLine(folder + "/stat");
  // Fields after the parenthesised name: state is field 3, utime 14, stime 15.
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  uint64_t user = 0;
  uint64_t system = 0;
  for (int index = 3; fields >> field && index <= 15; ++index) {
    if (index == 14) user = std::stoull(field);
    if (index == 15) system = std::stoull(field);
  }
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

tMachineCpu MachineCpu() {
  std::istringstream fields(FirstLine("/proc/stat"));
  std::string label;
  fields >> label;
  tMachineCpu cpu;
  uint64_t value = 0;
  for (int index = 0; fields >> value; ++index) {
    cpu.Total += value;
    if (index == 3 || index == 4) cpu.Idle += value;  // idle, iowait
  }
  return cpu;
}

double IdlePercent(const tMachineCpu& start, const tMachineCpu& stop) {
  const uint64_t total = stop.Total - start.Total;
  return total == 0 ? 0 : 100.0 * static_cast<double>(stop.Idle - start.Idle) / total;
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}
