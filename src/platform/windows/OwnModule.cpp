#include "platform/windows/OwnModule.h"

namespace {
// An address inside this library, so the module found is the library, not the host.
void OwnModuleAnchor() {}
}  // namespace

HMODULE OwnModuleHandle(bool addReference) {
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                      (addReference ? 0 : GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
  HMODULE own = nullptr;
  if (!GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&OwnModuleAnchor), &own)) return nullptr;
  return own;
}
