// This library's own module handle, found from an address inside it.
#pragma once

#include <windows.h>

// Null when the loader cannot tell. No reference is added.
HMODULE OwnModuleHandle();

// Keeps the library loaded until the process ends, whatever FreeLibrary calls
// follow; false when the loader refused.
bool PinOwnModule();
