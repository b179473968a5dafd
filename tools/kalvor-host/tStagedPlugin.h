// The plugin reads the ini beside itself. To run it on another ini (a staging
// database) without touching the installed one, the tool loads a private copy
// of the plugin from a temporary folder that holds a copy of that ini beside it.
#pragma once

#include <filesystem>
#include <string>

class tStagedPlugin {
 public:
  // Raises std::runtime_error when the ini cannot be read or the copy made.
  tStagedPlugin(const std::string& pluginPath, const std::string& iniPath);
  // Removes the folder; unload the plugin first.
  ~tStagedPlugin();
  tStagedPlugin(const tStagedPlugin&) = delete;
  tStagedPlugin& operator=(const tStagedPlugin&) = delete;

  // UTF-8.
  std::string PluginPath() const;

 private:
  std::filesystem::path Folder;
  std::filesystem::path Plugin;
};

// The ini a plugin file reads: its path with ".ini" for its extension (UTF-8).
std::string IniBeside(const std::string& pluginPath);
