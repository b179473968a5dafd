// The process-wide log and the two functions the rest of the system writes through.
#pragma once

#include <string>

class tUniLog;

// The one log of the process; null until CreateGlobalLog, and after FreeGlobalLog.
extern tUniLog* GlobalLog;

// File-name parts (no folder) of the host program and of this library, as
// handed to the log server with every line; set by CreateGlobalLog. Empty
// before; a name longer than a file name can be is cut.
const char* HostFileName();
const char* ModuleFileName();
void SetLogFileNames(const std::string& hostFileName, const std::string& moduleFileName);

void CreateGlobalLog();
void FreeGlobalLog();

// Both never raise; false when there is no log or its write raised.
bool LogWrite(const std::string& Message);
bool LogWriteTo(const std::string& Message, const std::string& Prefix);
