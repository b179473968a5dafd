// This library's own module handle, found from an address inside it.
#pragma once

#include <windows.h>

// Null when the loader cannot tell. With addReference the library stays
// loaded until the reference is given back with FreeLibrary.
HMODULE OwnModuleHandle(bool addReference);
