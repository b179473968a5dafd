#include "platform/windows/OwnModule.h"

namespace {
// An address inside this library, so the module found is the library, not the host.
void OwnModuleAnchor() {}

HMODULE FindOwnModule(DWORD flags) {
  return ModuleAt(reinterpret_cast<const void*>(&OwnModuleAnchor), flags);
}
}  // namespace

HMODULE ModuleAt(const void* address, DWORD flags) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags,
                          static_cast<LPCSTR>(address), &module))
    return nullptr;
  return module;
}

HMODULE OwnModuleHandle() {
  return FindOwnModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
}

bool PinOwnModule() {
  return FindOwnModule(GET_MODULE_HANDLE_EX_FLAG_PIN) != nullptr;
}
