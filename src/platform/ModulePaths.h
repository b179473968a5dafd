// Where this library and the host program live on disk.
#pragma once

#include <string>

// Paths are UTF-8 on Windows (see PathText for log lines), bytes elsewhere.

// Full path of the plugin library's own file, under the name it was loaded by
// (a symbolic link stays as it is); empty when the platform cannot tell.
std::string OwnModuleFilePath();

// Full path of the process's main program; empty when the platform cannot tell.
std::string HostExecutablePath();
