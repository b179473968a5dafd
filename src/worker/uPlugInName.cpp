#include "worker/uPlugInName.h"

#include <string_view>

#include "platform/ModulePaths.h"
#include "platform/Paths.h"

namespace {
constexpr std::string_view BaseName = "DYNAMIC_MENU";

// The name's characters in place, filled while the library loads, so the
// pointer handed to the host is valid before Init_Plugin and unchanged
// afterwards, and nothing of it is destroyed at exit.
class tLoadedName {
 public:
  tLoadedName() {
    const std::string name = BuildPlugInName(ExtractFileName(OwnModuleFilePath()));
    const size_t length = name.copy(Characters, sizeof Characters - 1);
    Characters[length] = '\0';
  }

  const char* Get() const { return Characters; }

 private:
  // "DYNAMIC_MENU_" and the longest file name a folder holds.
  char Characters[BaseName.size() + 1 + 255 + 1] = {};
};

const tLoadedName LoadedPlugInName;
}  // namespace

std::string BuildPlugInName(const std::string& fileName) {
  const auto underscore = fileName.find('_');
  const auto dot = fileName.find('.');
  if (underscore == std::string::npos || dot == std::string::npos || underscore + 1 >= dot)
    return std::string(BaseName);
  return std::string(BaseName) + "_" + fileName.substr(underscore + 1, dot - underscore - 1);
}

const char* PlugInName() {
  return LoadedPlugInName.Get();
}
