#include "platform/ModulePaths.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace {
// An address inside this library, so dladdr reports the library, not the host.
void OwnModuleAnchor() {}

// Symbolic links are kept: a copy loaded through Kalvor_North.so -> Kalvor.so
// is Kalvor_North.so, with its own name, ini file and log. A relative path is
// taken from the current folder, as the loader took it.
std::string AbsoluteWithoutResolvingLinks(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  char folder[PATH_MAX];
  if (getcwd(folder, sizeof(folder)) == nullptr) return path;
  const std::string relative = path.rfind("./", 0) == 0 ? path.substr(2) : path;
  return std::string(folder) + "/" + relative;
}
}  // namespace

std::string OwnModuleFilePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnModuleAnchor), &info) == 0 || info.dli_fname == nullptr)
    return {};
  return AbsoluteWithoutResolvingLinks(info.dli_fname);
}

std::string HostExecutablePath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<size_t>(length));
}
