#include "platform/ModulePaths.h"

#include "platform/windows/OwnModule.h"
#include "platform/windows/WideText.h"

namespace {
// The longest path Windows gives a module.
constexpr DWORD LongestPath = 32768;
}  // namespace

// Wide, so that a folder named outside the system's ANSI code page is named whole.
std::string ModuleFilePath(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD room = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(module, path.data(), room);
    if (length == 0) return {};
    if (length < room) return Utf8FromWide(path.substr(0, length));
    if (room >= LongestPath) return {};
    path.resize(room * 2);
  }
}

std::string OwnModuleFilePath() {
  const HMODULE own = OwnModuleHandle();
  return own == nullptr ? std::string() : ModuleFilePath(own);
}

std::string HostExecutablePath() {
  return ModuleFilePath(nullptr);
}
