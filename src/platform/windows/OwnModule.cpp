#include "platform/windows/OwnModule.h"

namespace {
// An address inside this library, so the module found is the library, not the host.
void OwnModuleAnchor() {}

HMODULE FindOwnModule(DWORD flags) {
  HMODULE own = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags,
                          reinterpret_cast<LPCSTR>(&OwnModuleAnchor), &own))
    return nullptr;
  return own;
}
}  // namespace

HMODULE OwnModuleHandle() {
  return FindOwnModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
}

bool PinOwnModule() {
  return FindOwnModule(GET_MODULE_HANDLE_EX_FLAG_PIN) != nullptr;
}
