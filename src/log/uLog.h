// The process-wide log and the two functions the rest of the system writes through.
#pragma once

#include <string>

class tUniLog;

// The one log of the process; null until CreateGlobalLog, and after FreeGlobalLog.
extern tUniLog* GlobalLog;

// File-name parts (no folder) of the host program and of this library, as
// handed to the log server with every line; set by CreateGlobalLog.
extern std::string HostFileName;
extern std::string ModuleFileName;

void CreateGlobalLog();
void FreeGlobalLog();

// Both never raise; false when there is no log or its write raised.
bool LogWrite(const std::string& Message);
bool LogWriteTo(const std::string& Message, const std::string& Prefix);
