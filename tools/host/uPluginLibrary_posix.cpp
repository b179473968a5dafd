#include <dlfcn.h>

#include "uPluginLibrary.h"

void* OpenPluginLibrary(const std::string& path, std::string& why) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    why = reason != nullptr ? reason : "unknown";
  }
  return library;
}

void* PluginLibraryEntry(void* library, const char* name) {
  return dlsym(library, name);
}

void ClosePluginLibrary(void* library) {
  dlclose(library);
}
