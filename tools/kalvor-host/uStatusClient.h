// Finding the status channels of the plugins running on this machine and
// asking them (include/kalvor/status_channel.h); one file per system.
#pragma once

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

struct tStatusEndpointInfo {
  // The socket's path, or the pipe's name.
  std::string Address;
  uint32_t ProcessId = 0;
};

struct tStatusSearch {
  std::vector<tStatusEndpointInfo> Found;
  // Places that could not be looked into, and why.
  std::vector<std::string> Problems;
};

// An endpoint that did not answer; Refused when this account may not ask it.
class tStatusAskError : public std::runtime_error {
 public:
  tStatusAskError(const std::string& message, bool refused)
      : std::runtime_error(message), Refused(refused) {}
  bool Refused;
};

// Endpoints of live processes, by process id; a socket its process left
// behind is skipped.
tStatusSearch FindStatusEndpoints();

// Sends the request line and returns the whole answer; raises tStatusAskError.
std::string AskStatus(const tStatusEndpointInfo& endpoint, const std::string& request,
                      std::chrono::milliseconds patience);

// What an account refused by an endpoint can do about it.
const char* StatusRefusalAdvice();

// Found in the order of their process ids.
void SortByProcess(tStatusSearch& search);

// The process id at the end of an endpoint's name ("kalvor-NAME-1234.sock"); 0 if none.
uint32_t EndpointProcessId(const std::string& fileName, const std::string& suffix);
