#include "uStatusClient.h"

#include <kalvor/status_channel.h>

#include <algorithm>

void SortByProcess(tStatusSearch& search) {
  std::sort(search.Found.begin(), search.Found.end(),
            [](const auto& a, const auto& b) { return a.ProcessId < b.ProcessId; });
}

uint32_t EndpointProcessId(const std::string& fileName, const std::string& suffix) {
  const std::string prefix = KALVOR_STATUS_PREFIX;
  if (fileName.size() <= prefix.size() + suffix.size() || fileName.rfind(prefix, 0) != 0 ||
      fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0)
    return 0;
  const std::string stem = fileName.substr(0, fileName.size() - suffix.size());
  const size_t dash = stem.rfind('-');
  const std::string digits = stem.substr(dash + 1);
  if (dash < prefix.size() || digits.empty() || digits.size() > 9 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return static_cast<uint32_t>(std::stoul(digits));
}
