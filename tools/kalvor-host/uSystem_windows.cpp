#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "platform/windows/WideText.h"
#include "uSystem.h"
#include "uUtf8Path.h"

namespace {

struct tLocalFree {
  void operator()(LPWSTR* arguments) const { LocalFree(arguments); }
};

}  // namespace

std::filesystem::path ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return std::filesystem::path(path);
    }
    path.resize(path.size() * 2);
  }
}

const char* PluginFileName() {
  return "Kalvor.dll";
}

const char* DefaultPluginHelp() {
  return "Kalvor.dll beside kalvor-host.exe,\n"
         "                  with Kalvor.core.dll beside it";
}

const char* UnreadableIniAdvice() {
  return "give it read access to the file";
}

std::vector<std::string> PluginCompanions(const std::filesystem::path& pluginFileName) {
  return {Utf8(std::filesystem::path(pluginFileName).replace_extension(".core.dll"))};
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  return local;
}

// The wide command line: argv holds only what the ANSI code page can spell.
std::vector<std::string> CommandLineArguments(int, char**) {
  int count = 0;
  const std::unique_ptr<LPWSTR, tLocalFree> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  std::vector<std::string> arguments;
  for (int index = 1; wide && index < count; ++index)
    arguments.push_back(Utf8FromWide(wide.get()[index]));
  return arguments;
}

std::string ForConsole(const std::string& utf8) {
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0) codePage = GetACP();
  return CodePageFromWide(WideFromUtf8(utf8), codePage);
}

const char* ClearScreenText() {
  const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(console, &mode))
    SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  return "\x1b[H\x1b[2J";
}
