#include "worker/uPlugInName.h"

#include "platform/ModulePaths.h"
#include "platform/Paths.h"

namespace {
const std::string BaseName = "DYNAMIC_MENU";

// Initialised while the library loads, so the name pointer handed to the host
// is valid before Init_Plugin and unchanged afterwards.
const std::string LoadedPlugInName = BuildPlugInName(ExtractFileName(OwnModuleFilePath()));
}  // namespace

std::string BuildPlugInName(const std::string& fileName) {
  const auto underscore = fileName.find('_');
  const auto dot = fileName.find('.');
  if (underscore == std::string::npos || dot == std::string::npos || underscore + 1 >= dot)
    return BaseName;
  return BaseName + "_" + fileName.substr(underscore + 1, dot - underscore - 1);
}

const std::string& PlugInName() {
  return LoadedPlugInName;
}
