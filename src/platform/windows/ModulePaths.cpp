#include "platform/ModulePaths.h"

#include "platform/windows/OwnModule.h"

namespace {
// Room for the longest path GetModuleFileNameA reports; a path it had to cut is no path.
constexpr DWORD PathRoom = 1024;
}  // namespace

std::string ModuleFilePath(HMODULE module) {
  char path[PathRoom];
  const DWORD length = GetModuleFileNameA(module, path, PathRoom);
  if (length == 0 || length >= PathRoom) return {};
  return std::string(path, length);
}

std::string OwnModuleFilePath() {
  const HMODULE own = OwnModuleHandle();
  return own == nullptr ? std::string() : ModuleFilePath(own);
}

std::string HostExecutablePath() {
  return ModuleFilePath(nullptr);
}
