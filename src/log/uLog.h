// The process-wide log and the two functions the rest of the system writes through.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
// A line that tells of a failure: written, and kept among the last few for
// the status channel. RememberFailure keeps a line written otherwise.
bool LogWriteFailure(const std::string& Message);
void RememberFailure(const std::string& Message);
std::vector<std::string> RecentFailureLines();

// The folder the log's day folders are made in: Logs beside the host program.
std::string LogsFolder();
// The library's file name, as the hourly files' names end in it.
std::string LogModuleFileName();
// The file a line written now goes to; empty without a log.
std::string CurrentLogFileName();

// The log file's refusals, for the session (all false or 0 without a log):
// lines lost since the last call, for the hourly figures; whether lines wait
// for the file; one more attempt at them, for a session thread that idles.
uint64_t TakeLostLogLines();
bool LogHoldsLines();
void WriteHeldLogLines();
