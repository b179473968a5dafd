#include "platform/Directories.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix/SharedFolder.h"

namespace {
bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string WithoutTrailingDelimiters(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ParentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}
}  // namespace

bool ForceDirectories(const std::string& path, std::string* reason) {
  const std::string folder = WithoutTrailingDelimiters(path);
  if (folder.empty()) return false;
  if (IsDirectory(folder)) return true;
  const std::string parent = ParentOf(folder);
  if (!parent.empty() && !ForceDirectories(parent, reason)) return false;
  if (mkdir(folder.c_str(), 0755) == 0) {
    ShareWithGroupLikeParent(folder);
    return true;
  }
  // Another thread or process may have created it in the meantime.
  const int error = errno;
  if (error == EEXIST && IsDirectory(folder)) return true;
  if (reason != nullptr) *reason = std::strerror(error == EEXIST ? ENOTDIR : error);
  return false;
}

std::vector<tFolderEntry> ListFolder(const std::string& path) {
  std::vector<tFolderEntry> entries;
  DIR* folder = opendir(path.c_str());
  if (folder == nullptr) return entries;
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    const bool isFolder = lstat((path + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    entries.push_back({name, isFolder});
  }
  closedir(folder);
  return entries;
}

std::optional<std::string> DeleteFileNotInUse(const std::string& path) {
  if (unlink(path.c_str()) == 0) return std::nullopt;
  return std::string(std::strerror(errno));
}

bool RemoveEmptyFolder(const std::string& path) {
  return rmdir(path.c_str()) == 0;
}
