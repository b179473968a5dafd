#include "platform/ModulePaths.h"

#include <atomic>

#include "platform/windows/OwnModule.h"
#include "platform/windows/WideText.h"

namespace {
// The longest path Windows gives a module.
constexpr DWORD LongestPath = 32768;

// Set once by the first front to open this core; never freed, so nothing of
// it runs at exit.
std::atomic<const std::string*> FrontPath{nullptr};
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

void UseFrontLibraryPath(const wchar_t* path) {
  auto* front = new std::string(Utf8FromWide(path));
  const std::string* none = nullptr;
  if (!FrontPath.compare_exchange_strong(none, front)) delete front;
}

std::string OwnModuleFilePath() {
  if (const std::string* front = FrontPath.load()) return *front;
  const HMODULE own = OwnModuleHandle();
  return own == nullptr ? std::string() : ModuleFilePath(own);
}

std::string HostExecutablePath() {
  return ModuleFilePath(nullptr);
}
