// The database a newly written configuration file points at: the menu
// database on this machine's own server, where that server keeps its files.
#pragma once

extern const char* const DefaultDatabaseName;
