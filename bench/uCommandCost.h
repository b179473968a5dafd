// What Command_Plugin itself costs a host thread: the copy into the queue and
// the wake-up of the plugin's thread, timed call by call from several threads
// at once. The command is one the plugin does not know, answered without the
// database.
#pragma once

#include "tLatencies.h"
#include "tPluginHost.h"

tLatencies CommandPluginCost(tPluginHost& host, int threads, int callsPerThread);
