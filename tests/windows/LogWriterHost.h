// This program played again as a host that logs as fast as it can: two copies
// of the plugin under one file name, each answering commands that are routed
// nowhere, so every command costs two log lines and nothing else.
#pragma once

inline constexpr const char* LogWriterSwitch = "--log-writer";
inline constexpr int LogWriterCopies = 2;

// Returns 0 when every copy answered every command.
int PlayLogWriter(int commandsPerCopy);
