#include "platform/ModulePaths.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstdlib>

namespace {
// An address inside this library, so dladdr reports the library, not the host.
void OwnModuleAnchor() {}
}  // namespace

std::string OwnModuleFilePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&OwnModuleAnchor), &info) == 0 || info.dli_fname == nullptr)
    return {};
  char resolved[PATH_MAX];
  if (realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
  return resolved;
}

std::string HostExecutablePath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (length <= 0) return {};
  return std::string(path, static_cast<size_t>(length));
}
