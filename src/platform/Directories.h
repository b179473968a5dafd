// Folder utilities.
#pragma once

#include <string>

// Creates the folder and every missing parent; true when it exists afterwards.
bool ForceDirectories(const std::string& path);
