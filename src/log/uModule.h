// Loading libraries at run time, and where this library lives.
#pragma once

#include <string>

#include "platform/DynamicLibrary.h"

// Loads by name through the normal search order; when that fails and the name
// has no folder part, once more from the host program's folder. Empty on failure.
tDynamicLibrary LoadLibraryWithFallback(const std::string& LibraryName);

void UnloadLibrary(tDynamicLibrary& Library);

// The exported entry's address, or null.
void* GetLibraryProc(const tDynamicLibrary& Library, const std::string& ProcName);

// Full path of this library's own file; empty when the platform cannot tell.
std::string GetOwnModuleFileName();
