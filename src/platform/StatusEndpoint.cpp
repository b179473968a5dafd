#include "platform/StatusEndpoint.h"

namespace {
constexpr size_t NameLimit = 40;

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}
}  // namespace

std::string StatusEndpointName(const std::string& pluginName) {
  std::string name = pluginName.substr(0, NameLimit);
  for (char& c : name)
    if (!IsNameCharacter(c)) c = '_';
  return name;
}
