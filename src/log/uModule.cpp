#include "log/uModule.h"

#include "platform/ModulePaths.h"
#include "platform/Paths.h"

tDynamicLibrary LoadLibraryWithFallback(const std::string& LibraryName) {
  tDynamicLibrary library = tDynamicLibrary::Load(LibraryName);
  if (library.IsLoaded() || !ExtractFilePath(LibraryName).empty()) return library;
  const std::string hostFolder = ExtractFilePath(HostExecutablePath());
  if (hostFolder.empty()) return library;
  return tDynamicLibrary::Load(hostFolder + LibraryName);
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
