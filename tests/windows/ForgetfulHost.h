// This program played again as a host that ends or unloads the plugin without
// Finalize_Plugin, to see that the plugin neither hangs nor crashes it.
#pragma once

#include <string>

inline constexpr const char* ForgetfulHostSwitch = "--forgetful-host";

// Scenarios:
//   exit-busy      commands running, queued and being queued from another
//                  thread when the process ends
//   unload-busy    FreeLibrary with commands queued and running: no callback
//                  after it returns; LoadLibrary again: a fresh session
//                  answers through the new callback
//   unload-idle    the same after Init_Plugin, before any command
//   unload-in-callback  Finalize_Plugin and FreeLibrary from inside the
//                  callback, then LoadLibrary again: a fresh session
//   unload-only-in-callback  FreeLibrary alone from inside the callback
// FreeLibrary unloads the front library for real; its core stays.
// Returns the process's exit code: 0 when the scenario ran to its end.
int PlayForgetfulHost(const std::string& scenario, const std::string& pluginPath);
