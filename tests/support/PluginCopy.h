// A copy of the built plugin in a folder of its own, so each test gets a fresh
// load, its own ini file and the file name it needs for the plugin name.
#pragma once

#include <string>

#include "support/TempFolder.h"

class PluginCopy {
 public:
  explicit PluginCopy(const std::string& fileName = "Kalvor.so");

  const std::string& LibraryPath() const { return Library; }
  std::string IniPath() const;
  void WriteIni(const std::string& content) const;

 private:
  TempFolder Folder;
  std::string Library;
};
