// The plugin's hourly log as this tool finds it: Logs/YYYY_MM_DD/HH_<plugin
// file>.log beside the tool's own executable, and the lines one command wrote.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// What the plugin wrote for one command, with the stamps, in Windows-1251.
struct tCommandLog {
  std::string Path;  // the log file, with links resolved
  std::vector<std::string> Lines;
};

class tPluginLog {
 public:
  // pluginPath as given to dlopen; the log is named after its file name (or
  // after the file a link points to).
  explicit tPluginLog(const std::string& pluginPath);

  // Remembers where each candidate file ends; call before queueing a command.
  void Mark();
  // The lines of the last command framed since Mark, or every line since
  // Mark when no command frame was written.
  tCommandLog SinceMark() const;

  // The current hour's file for the plugin file name.
  std::string CurrentPath(const std::string& moduleName) const;

 private:
  std::string Folder;
  std::vector<std::string> ModuleNames;
  std::map<std::string, uintmax_t> SizesAtMark;  // path -> size
};

// The lines from the last "--New Operation" frame start to its end (or to the
// last line); all lines when there is none.
std::vector<std::string> LastCommandFrame(const std::vector<std::string>& lines);
