#include "support/PluginCopy.h"

#include <filesystem>

PluginCopy::PluginCopy(const std::string& fileName) : Folder("kalvor-plugin") {
  Library = Folder / fileName;
  std::filesystem::copy_file(KALVOR_PLUGIN_PATH, Library);
#ifdef KALVOR_PLUGIN_CORE_PATH
  // The Windows front finds its core under its own name.
  std::filesystem::copy_file(KALVOR_PLUGIN_CORE_PATH,
                             std::filesystem::path(Library).replace_extension(".core.dll"));
#endif
}

std::string PluginCopy::IniPath() const {
  return std::filesystem::path(Library).replace_extension(".ini").string();
}

void PluginCopy::WriteIni(const std::string& content) const {
  WriteWholeFile(IniPath(), content);
}
