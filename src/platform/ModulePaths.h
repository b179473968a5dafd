// Where this library and the host program live on disk.
#pragma once

#include <string>

// Paths are UTF-8 on Windows (see PathText for log lines), bytes elsewhere.

// Full path of the plugin library's own file, under the name it was loaded by
// (a symbolic link stays as it is); on Windows the front library's, which the
// host loaded (UseFrontLibraryPath). Empty when the platform cannot tell.
std::string OwnModuleFilePath();

// Full path of the process's main program; empty when the platform cannot tell.
std::string HostExecutablePath();

#ifdef _WIN32
// The front library at that path loaded this core for the host: the plugin is
// named, configured and logged after the front. The first call counts.
void UseFrontLibraryPath(const wchar_t* path);
#endif
