#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <memory>

#include "uSystem.h"
#include "uUtf8Path.h"

namespace {

std::wstring Wide(const std::string& text, UINT codePage) {
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
  return text;
}

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
    arguments.push_back(Narrow(wide.get()[index], CP_UTF8));
  return arguments;
}

std::string ForConsole(const std::string& utf8) {
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0) codePage = GetACP();
  return Narrow(Wide(utf8, CP_UTF8), codePage);
}
