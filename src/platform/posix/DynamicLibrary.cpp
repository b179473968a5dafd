#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <utility>

const char* const DynamicLibraryExtension = ".so";

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

void* tDynamicLibrary::Symbol(const std::string& name) const {
  return Handle == nullptr ? nullptr : dlsym(Handle, name.c_str());
}

void tDynamicLibrary::Unload() {
  if (Handle != nullptr) dlclose(std::exchange(Handle, nullptr));
}
