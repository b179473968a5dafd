// What the plugin costs a host process over its life: a host that loads and
// unloads it again and again must not run out of anything.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "RuntimeFigures.h"
#include "WindowsHost.h"
#include "support/PluginCopy.h"

using namespace std::chrono_literals;

// Past the 1,086th cycle, where the process's TLS indexes used to run out.
TEST(HostLife, FifteenHundredLoadUnloadCyclesLeaveTheProcessFlat) {
  PluginCopy plugin("Kalvor.dll");
  plugin.WriteIni(ServerIni());
  PutStandInClientBeside(plugin);
  EXPECT_EQ(RunThisProgram(
                std::string(ReloadCyclesSwitch) + " 1500 \"" + plugin.LibraryPath() + "\"", 600s),
            0);
}
