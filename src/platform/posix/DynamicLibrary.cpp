#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <utility>

const char* const DynamicLibraryExtension = ".so";

std::string SystemLibraryFolder() {
  return {};
}

tDynamicLibrary tDynamicLibrary::Load(const std::string& name) {
  return tDynamicLibrary(dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL));
}

tDynamicLibrary tDynamicLibrary::Load(const std::string& name, std::string& Failure) {
  tDynamicLibrary library = Load(name);
  if (!library.IsLoaded()) {
    const char* reason = dlerror();
    Failure = reason != nullptr ? reason : "cannot be loaded";
  }
  return library;
}

std::string tDynamicLibrary::FilePath() const {
  link_map* map = nullptr;
  if (Handle == nullptr || dlinfo(Handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return {};
  return map->l_name;
}

void* tDynamicLibrary::Symbol(const std::string& name) const {
  return Handle == nullptr ? nullptr : dlsym(Handle, name.c_str());
}

void tDynamicLibrary::Unload() {
  if (Handle != nullptr) dlclose(std::exchange(Handle, nullptr));
}
