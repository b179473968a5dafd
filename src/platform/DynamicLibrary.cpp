#include "platform/DynamicLibrary.h"

#include <utility>

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

void tDynamicLibrary::KeepLoaded() {
  Handle = nullptr;
}
