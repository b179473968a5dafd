// [Main] LogKeepDays: the log's day folders older than so many days go. In
// each day folder named YYYY_MM_DD for a day more than KeepDays before today,
// the plugin's own hourly files (HH_<library file>.log, with or without a
// prefix such as full_) are deleted, and a folder left empty is removed.
// Anything else stays: other files, and the folders holding them. A file that
// cannot be deleted (on Windows one a viewer holds open) is not waited for:
// it and its folder stay until a later hour.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "platform/LocalTime.h"

class tLogRetention {
 public:
  tLogRetention(std::string logsFolder, std::string moduleFileName, int32_t keepDays);

  // One pass; the log's line on it, or none when it removed nothing and kept
  // no folder it had not kept before.
  std::optional<std::string> Run(const tLocalTime& today);

 private:
  // Why the folder stays, or empty when it is gone.
  std::string Clear(const std::string& folder, uint32_t& files);
  bool IsOwnFile(const std::string& name) const;

  std::string LogsFolder;
  std::string ModuleFileName;
  int32_t KeepDays;
  // Folders kept, each told once.
  std::set<std::string> Told;
};
