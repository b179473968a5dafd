// A host that does not call Finalize_Plugin before FreeLibrary or before it
// ends: each scenario runs in a process of its own, which must end by itself
// with exit code 0 (not hang, not crash).
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "ForgetfulHost.h"
#include "WindowsHost.h"
#include "support/PluginCopy.h"

using namespace std::chrono_literals;

namespace {
constexpr auto Patience = 90s;

int Play(const std::string& scenario) {
  PluginCopy plugin("Kalvor.dll");
  plugin.WriteIni(ServerIni());
  PutStandInClientBeside(plugin);
  return RunThisProgram(
      std::string(ForgetfulHostSwitch) + " " + scenario + " \"" + plugin.LibraryPath() + "\"",
      Patience);
}
}  // namespace

// An exit that met a lock a stopped thread held spun for ever in about one run
// of twenty: one run proves little.
TEST(ForgetfulHost, EndsWhileCommandsAreQueuedAndRunning) {
  constexpr int Runs = 25;
  for (int run = 1; run <= Runs; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    ASSERT_EQ(Play("exit-busy"), 0);
  }
}

// No callback after FreeLibrary has returned: the host may unload the code
// of its callback next. Loaded again, the plugin answers the new callback.
TEST(ForgetfulHost, UnloadsWhileCommandsAreQueuedAndRunningAndLoadsAgain) {
  EXPECT_EQ(Play("unload-busy"), 0);
}

TEST(ForgetfulHost, UnloadsAfterInitBeforeAnyCommandAndLoadsAgain) {
  EXPECT_EQ(Play("unload-idle"), 0);
}

TEST(ForgetfulHost, UnloadsFromInsideTheCallbackWithOrWithoutFinalizeAndLoadsAgain) {
  EXPECT_EQ(Play("unload-in-callback"), 0);
  EXPECT_EQ(Play("unload-only-in-callback"), 0);
}
