#include "platform/Directories.h"

#include <windows.h>

#include "platform/Paths.h"
#include "platform/windows/LastErrorText.h"
#include "platform/windows/LongPath.h"
#include "platform/windows/WideText.h"

namespace {
bool IsDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(LongPathForm(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string WithoutTrailingDelimiters(std::string path) {
  while (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}
}  // namespace

bool ForceDirectories(const std::string& path, std::string* reason) {
  const std::string folder = WithoutTrailingDelimiters(path);
  if (folder.empty()) return false;
  if (IsDirectory(folder)) return true;
  const std::string parent = WithoutTrailingDelimiters(ExtractFilePath(folder));
  // A drive ("C:") or the top of a path is not created here: it exists or the path is wrong.
  const bool parentIsRoot = parent.empty() || parent.back() == ':' || parent == folder;
  if (!parentIsRoot && !ForceDirectories(parent, reason)) return false;
  if (CreateDirectoryW(LongPathForm(folder).c_str(), nullptr)) return true;
  // Another thread or process may have created it in the meantime.
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS && IsDirectory(folder)) return true;
  if (reason != nullptr)
    *reason = ErrorText(error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error);
  return false;
}

std::vector<tFolderEntry> ListFolder(const std::string& path) {
  std::vector<tFolderEntry> entries;
  WIN32_FIND_DATAW entry{};
  const HANDLE found = FindFirstFileW((LongPathForm(path) + L"\\*").c_str(), &entry);
  if (found == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::string name = Utf8FromWide(entry.cFileName);
    if (name != "." && name != "..")
      entries.push_back({name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(found, &entry));
  FindClose(found);
  return entries;
}

std::optional<std::string> DeleteFileNotInUse(const std::string& path) {
  if (DeleteFileW(LongPathForm(path).c_str())) return std::nullopt;
  const DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION) return std::string("in use by another process");
  return ErrorText(error);
}

bool RemoveEmptyFolder(const std::string& path) {
  return RemoveDirectoryW(LongPathForm(path).c_str()) != 0;
}
