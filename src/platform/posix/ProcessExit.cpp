#include "platform/ProcessExit.h"

// The C++ runtime's registration of exit handlers, tied to one library.
extern "C" int __cxa_atexit(void (*handler)(void*), void* argument, void* library);
extern "C" void* __dso_handle;

namespace {
void RunHandler(void* handler) {
  reinterpret_cast<void (*)()>(handler)();
}
}  // namespace

// Registered under this library's own handle, whatever std::atexit resolves to
// (a sanitizer's, say): when the library is unloaded first, the C library runs
// the handler then and forgets it, instead of calling into unmapped code at exit.
void CallAtProcessExit(void (*handler)()) {
  __cxa_atexit(&RunHandler, reinterpret_cast<void*>(handler), &__dso_handle);
}
