// Loading a plugin file and finding its entries, as the host's platform does it.
#pragma once

#include <string>

// The loaded library, or null with why filled in.
void* OpenPluginLibrary(const std::string& path, std::string& why);
// The entry's address, or null.
void* PluginLibraryEntry(void* library, const char* name);
void ClosePluginLibrary(void* library);
