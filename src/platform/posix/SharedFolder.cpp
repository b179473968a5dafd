#include "platform/posix/SharedFolder.h"

#include <sys/stat.h>

namespace {
std::string ParentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}
}  // namespace

void ShareWithGroupLikeParent(const std::string& path) {
  struct stat parent {};
  struct stat made {};
  if (stat(ParentOf(path).c_str(), &parent) != 0 || (parent.st_mode & S_IWGRP) == 0) return;
  if (stat(path.c_str(), &made) != 0) return;
  const mode_t groupBits = S_IRGRP | S_IWGRP | (S_ISDIR(made.st_mode) ? S_IXGRP : 0);
  chmod(path.c_str(), (made.st_mode & 07777) | groupBits);
}
