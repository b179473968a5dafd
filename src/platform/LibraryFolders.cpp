#include "platform/LibraryFolders.h"

#include <algorithm>

#include "platform/ModulePaths.h"
#include "platform/Paths.h"

namespace {
std::string FolderName(const std::string& folder) {
  return folder.empty() ? "the system's library search" : PathText(folder);
}
}  // namespace

std::vector<std::string> LibraryFolders() {
  std::vector<std::string> folders;
  for (const std::string& folder :
       {ExtractFilePath(OwnModuleFilePath()), ExtractFilePath(HostExecutablePath())})
    if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
      folders.push_back(folder);
  folders.push_back(SystemLibraryFolder());
  return folders;
}

std::string FolderList(const std::vector<std::string>& Folders) {
  std::string list;
  for (size_t i = 0; i < Folders.size(); ++i) {
    if (i > 0) list += i + 1 == Folders.size() ? " or " : ", ";
    list += FolderName(Folders[i]);
  }
  return list;
}

tDynamicLibrary LoadFromFolders(const std::vector<std::string>& Folders, const std::string& Name,
                                std::string& Failure) {
  std::string first;
  std::string others;
  for (const std::string& folder : Folders) {
    std::string reason;
    tDynamicLibrary library = tDynamicLibrary::Load(folder + Name, reason);
    if (library.IsLoaded()) return library;
    if (&folder == &Folders.front())
      first = reason;
    else if (reason != first)
      others += (others.empty() ? " (" : "; ") + FolderName(folder) + ": " + reason;
  }
  Failure = Name + ": " + first + (others.empty() ? "" : others + ")");
  return {};
}
