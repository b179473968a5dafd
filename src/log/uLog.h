// Where the plugin's log lives and the names its lines carry.
#pragma once

#include <memory>
#include <string>

class tUniLog;

// File-name parts (no folder) of the host program and of this library, as
// handed to the log server with every line; set by OpenLogBesideHost. Empty
// before; a name longer than a file name can be is cut.
const char* HostFileName();
const char* ModuleFileName();
void SetLogFileNames(const std::string& hostFileName, const std::string& moduleFileName);

// Logs/<day>/<hour>_<library file>.log beside the host program, with the log
// server the host's ini names; none when this library's file name is unknown.
// Raises when the log cannot be built.
std::unique_ptr<tUniLog> OpenLogBesideHost();

// The folder the log's day folders are made in: Logs beside the host program.
std::string LogsFolder();
// The library's file name, as the hourly files' names end in it.
std::string LogModuleFileName();
