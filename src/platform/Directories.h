// Folder utilities.
#pragma once

#include <string>

// Creates the folder and every missing parent; true when it exists afterwards.
// Otherwise reason, when given, gets the system's words for why not.
bool ForceDirectories(const std::string& path, std::string* reason = nullptr);
