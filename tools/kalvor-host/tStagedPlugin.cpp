#include "tStagedPlugin.h"

#include <fstream>
#include <random>
#include <stdexcept>

#include "uSystem.h"
#include "uUtf8Path.h"

namespace fs = std::filesystem;

namespace {

// A new folder of this user's temporary folder that nobody else created.
fs::path NewPrivateFolder() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = fs::temp_directory_path() / ("kalvor-host-" + std::to_string(random()));
    if (fs::create_directory(folder)) {
      fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
      return folder;
    }
  }
  throw std::runtime_error("cannot make a temporary folder in " + Utf8(fs::temp_directory_path()));
}

}  // namespace

tStagedPlugin::tStagedPlugin(const std::string& pluginPath, const std::string& iniPath) {
  if (!std::ifstream(PathFromUtf8(iniPath)))
    throw std::runtime_error("--ini: cannot read " + iniPath);
  Folder = NewPrivateFolder();
  try {
    const fs::path source = PathFromUtf8(pluginPath);
    Plugin = Folder / source.filename();
    fs::copy_file(source, Plugin);
    for (const std::string& companion : PluginCompanions(source.filename()))
      fs::copy_file(source.parent_path() / PathFromUtf8(companion),
                    Folder / PathFromUtf8(companion));
    fs::copy_file(PathFromUtf8(iniPath), PathFromUtf8(IniBeside(PluginPath())));
  } catch (const fs::filesystem_error& error) {
    std::error_code ignored;
    fs::remove_all(Folder, ignored);
    throw std::runtime_error(std::string("--ini: ") + error.what());
  }
}

tStagedPlugin::~tStagedPlugin() {
  std::error_code ignored;
  fs::remove_all(Folder, ignored);
}

std::string tStagedPlugin::PluginPath() const {
  return Utf8(Plugin);
}

std::string IniBeside(const std::string& pluginPath) {
  return Utf8(PathFromUtf8(pluginPath).replace_extension(".ini"));
}
