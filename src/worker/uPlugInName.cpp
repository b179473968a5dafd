#include "worker/uPlugInName.h"

#include <string_view>

#include "platform/ModulePaths.h"
#include "platform/Paths.h"

namespace {
constexpr std::string_view BaseName = "DYNAMIC_MENU";

// The name's characters in place, filled at the first call, so the pointer
// handed to the host is valid before Init_Plugin and unchanged afterwards, and
// nothing of it is destroyed at exit. Not while the library loads: on Windows
// the front library's name counts, which the front hands over afterwards.
class tLoadedName {
 public:
  tLoadedName() {
    const std::string name = BuildPlugInName(PathText(ExtractFileName(OwnModuleFilePath())));
    const size_t length = name.copy(Characters, sizeof Characters - 1);
    Characters[length] = '\0';
  }

  const char* Get() const { return Characters; }

 private:
  // "DYNAMIC_MENU_" and the longest file name a folder holds.
  char Characters[BaseName.size() + 1 + 255 + 1] = {};
};

}  // namespace

std::string BuildPlugInName(const std::string& fileName) {
  const auto underscore = fileName.find('_');
  const auto dot = fileName.find('.');
  if (underscore == std::string::npos || dot == std::string::npos || underscore + 1 >= dot)
    return std::string(BaseName);
  return std::string(BaseName) + "_" + fileName.substr(underscore + 1, dot - underscore - 1);
}

const char* PlugInName() {
  static const tLoadedName loaded;
  return loaded.Get();
}
