// This program played again as a host that measures what the plugin costs the
// process: over load and unload cycles, and while it idles.
#pragma once

#include <string>

inline constexpr const char* ReloadCyclesSwitch = "--reload-cycles";
inline constexpr const char* IdleCpuSwitch = "--idle-cpu";

// Cycles of LoadLibrary, Init_Plugin, one command, Finalize_Plugin and
// FreeLibrary, printing the process's free TLS indexes, handles and committed
// memory. Returns 0 when all ran and the three stayed flat after warm-up.
int PlayReloadCycles(const std::string& pluginPath, int cycles);

// Loads and initialises the plugin, answers one command, then lets it idle for
// the seconds given and prints the process's CPU time per second meanwhile.
int PlayIdleCpu(const std::string& pluginPath, int seconds);
