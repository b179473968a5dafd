// Module handles found from an address inside the module: this library's own
// and, for pinning, another's.
#pragma once

#include <windows.h>

#include <string>

// Null when the loader cannot tell. No reference is added.
HMODULE OwnModuleHandle();

// Keeps the library loaded until the process ends, whatever FreeLibrary calls
// follow; false when the loader refused.
bool PinOwnModule();

// The module that holds the address, looked up with the loader's
// GET_MODULE_HANDLE_EX_FLAG_* flags given; null when the loader cannot tell.
HMODULE ModuleAt(const void* address, DWORD flags);

// The module's full path; empty when the loader cannot tell (the process's
// main program for a null module).
std::string ModuleFilePath(HMODULE module);
