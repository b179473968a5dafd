// Loading libraries at run time, and where this library lives.
#pragma once

#include <string>

#include "platform/DynamicLibrary.h"

// A name with a folder part is loaded as it is; a bare file name from the
// plugin's folder, else the host program's, else the system's (see
// LibraryFolders), never from the current folder or PATH. Empty on failure.
tDynamicLibrary LoadLibraryWithFallback(const std::string& LibraryName);

void UnloadLibrary(tDynamicLibrary& Library);

// The exported entry's address, or null.
void* GetLibraryProc(const tDynamicLibrary& Library, const std::string& ProcName);

// Full path of this library's own file; empty when the platform cannot tell.
std::string GetOwnModuleFileName();
