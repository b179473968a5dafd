#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <utility>

tDynamicLibrary tDynamicLibrary::Load(const std::string& name) {
  return tDynamicLibrary(dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL));
}

tDynamicLibrary::~tDynamicLibrary() {
  Unload();
}

tDynamicLibrary::tDynamicLibrary(tDynamicLibrary&& other) noexcept
    : Handle(std::exchange(other.Handle, nullptr)) {}

tDynamicLibrary& tDynamicLibrary::operator=(tDynamicLibrary&& other) noexcept {
  if (this != &other) {
    Unload();
    Handle = std::exchange(other.Handle, nullptr);
  }
  return *this;
}

void* tDynamicLibrary::Symbol(const std::string& name) const {
  return Handle == nullptr ? nullptr : dlsym(Handle, name.c_str());
}

void tDynamicLibrary::Unload() {
  if (Handle != nullptr) dlclose(std::exchange(Handle, nullptr));
}
