#include <windows.h>

#include "uPluginLibrary.h"

void* OpenPluginLibrary(const std::string& path, std::string& why) {
  HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) why = "error " + std::to_string(GetLastError());
  return library;
}

void* PluginLibraryEntry(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void ClosePluginLibrary(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}
