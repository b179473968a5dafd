#include "support/PluginCopy.h"

#include <filesystem>

PluginCopy::PluginCopy(const std::string& fileName) : Folder("kalvor-plugin") {
  Library = Folder / fileName;
  std::filesystem::copy_file(KALVOR_PLUGIN_PATH, Library);
}

std::string PluginCopy::IniPath() const {
  return std::filesystem::path(Library).replace_extension(".ini").string();
}

void PluginCopy::WriteIni(const std::string& content) const {
  WriteWholeFile(IniPath(), content);
}
