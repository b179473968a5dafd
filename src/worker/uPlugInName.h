// The plugin name the host knows this library by, derived from its file name.
#pragma once

#include <string>

// "DYNAMIC_MENU", or "DYNAMIC_MENU_" + the text between the first "_" and the first "."
// of fileName when that text is not empty.
std::string BuildPlugInName(const std::string& fileName);

// Computed once, at the first call; the characters stay put until unload.
const char* PlugInName();
