#include "log/uModule.h"

#include "platform/LibraryFolders.h"
#include "platform/ModulePaths.h"
#include "platform/Paths.h"

tDynamicLibrary LoadLibraryWithFallback(const std::string& LibraryName) {
  if (!ExtractFilePath(LibraryName).empty()) return tDynamicLibrary::Load(LibraryName);
  std::string failure;
  return LoadFromFolders(LibraryFolders(), LibraryName, failure);
}

void UnloadLibrary(tDynamicLibrary& Library) {
  Library.Unload();
}

void* GetLibraryProc(const tDynamicLibrary& Library, const std::string& ProcName) {
  return Library.Symbol(ProcName);
}

std::string GetOwnModuleFileName() {
  return OwnModuleFilePath();
}
