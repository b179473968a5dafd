#include "uRoundTrips.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tLatencies.h"

namespace {
std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Round trips of each stretch between two markers.
std::vector<int> TripsBetweenMarkers(const std::string& tracePath) {
  std::ifstream trace(tracePath);
  std::vector<int> stretches;
  bool sending = false;
  std::string line;
  while (std::getline(trace, line)) {
    if (line.find("getppid(") != std::string::npos) {
      stretches.push_back(0);
      sending = false;
    } else if (line.find("sendto(") != std::string::npos) {
      sending = true;
    } else if (line.find("recvfrom(") != std::string::npos && sending && !stretches.empty()) {
      ++stretches.back();
      sending = false;
    }
  }
  return stretches;
}
}  // namespace

void MarkCommandInTrace() {
  getppid();
}

std::vector<double> CountRoundTrips(const std::vector<std::string>& commandLine) {
  const std::string tracePath =
      (std::filesystem::temp_directory_path() / ("kalvor-trips-" + std::to_string(getpid())))
          .string();
  std::string shell = "strace -f -qq -e trace=sendto,recvfrom,getppid -o " + Quoted(tracePath);
  for (const std::string& word : commandLine) shell += " " + Quoted(word);
  const int status = std::system((shell + " >/dev/null").c_str());
  const std::vector<int> stretches = TripsBetweenMarkers(tracePath);
  std::filesystem::remove(tracePath);
  if (status != 0 || stretches.size() < BenchCommandCount * TripSamples) return {};
  std::vector<double> medians;
  for (int command = 0; command < BenchCommandCount; ++command)
    medians.push_back(
        MedianOf(std::vector<double>(stretches.begin() + command * TripSamples,
                                     stretches.begin() + (command + 1) * TripSamples)));
  return medians;
}
