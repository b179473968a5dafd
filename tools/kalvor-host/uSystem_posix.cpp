#include "uSystem.h"

std::filesystem::path ProgramPath() {
  return std::filesystem::read_symlink("/proc/self/exe");
}

const char* PluginFileName() {
  return "Kalvor.so";
}

const char* DefaultPluginHelp() {
  return "Kalvor.so beside kalvor-host,\n"
         "                  else ../lib/kalvor/Kalvor.so once installed";
}

const char* UnreadableIniAdvice() {
  return "where the package is installed, add it to the kalvor group";
}

std::vector<std::string> PluginCompanions(const std::filesystem::path&) {
  return {};
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + 1, argv + argc);
}

std::string ForConsole(const std::string& utf8) {
  return utf8;
}

const char* ClearScreenText() {
  return "\x1b[H\x1b[2J";
}
