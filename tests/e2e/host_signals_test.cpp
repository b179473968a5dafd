// Loading the plugin leaves the host's answer to SIGTERM and SIGINT as it was:
// a host with the default action ends by the signal, and a host with its own
// handlers has them called and goes on being answered.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "support/PluginCopy.h"
#include "support/ShellCommand.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

namespace fs = std::filesystem;

namespace {
enum class tEngine { Embedded, Server };

// The shell's status of a process ended by SIGTERM.
constexpr int EndedBySigterm = 128 + 15;

class HostSignalsTest : public ::testing::TestWithParam<tEngine> {
 protected:
  void SetUp() override {
    fs::copy_file(KALVOR_SIGNAL_HOST_PATH, Host);
    if (GetParam() == tEngine::Server) {
      Server = std::make_unique<TestDatabase>();
      Server->RunScript(fs::path(KALVOR_SOURCE_DIR) / "sql" / "demo-data.sql");
      Plugin.WriteIni("[Main]\nDBName=" + Server->ConnectionString() +
                      "\nDBUser=" + TestDatabase::User() + "\nDBPWD=" + TestDatabase::Password() +
                      "\nLogLevel=1\n");
      return;
    }
    const std::string path = Folder / "menu.fdb";
    const ShellResult created = RunShellCommand(
        ShellQuoted(std::string(KALVOR_SOURCE_DIR) + "/scripts/create-database.sh") + " " +
        ShellQuoted(path) + " --demo");
    ASSERT_TRUE(created.Succeeded) << created.Output;
    Plugin.WriteIni("[Main]\nDBName=" + path + "\nDBUser=SYSDBA\nLogLevel=1\n");
  }

  // The host's output followed by "status N".
  std::string RunHost(const char* handlers) {
    return RunShellCommand(ShellQuoted(Host.string()) + " " + ShellQuoted(Plugin.LibraryPath()) +
                           " " + handlers + "; echo status $?")
        .Output;
  }

  std::string LogText() const {
    std::string text;
    for (const auto& entry : fs::recursive_directory_iterator(Folder / "Logs"))
      text += ReadWholeFile(entry.path());
    return text;
  }

  size_t LogLinesContaining(const std::string& part) const {
    const std::string text = LogText();
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++count;
    return count;
  }

  TempFolder Folder{"kalvor-signals"};
  const fs::path Host = Folder / "kalvor_signal_host";
  PluginCopy Plugin;
  std::unique_ptr<TestDatabase> Server;
};
}  // namespace

// A client library shut down by another part of the host refuses every new
// attachment in this process, but each command still tries one afresh rather
// than failing on the handles the shutdown took away.
TEST_P(HostSignalsTest, TheHostKeepsItsOwnAnswerToTerminationSignals) {
  const std::string ended = RunHost("default");
  EXPECT_NE(ended.find("before 0\n"), std::string::npos) << ended;
  EXPECT_EQ(ended.find("handled"), std::string::npos) << ended;
  EXPECT_NE(ended.find("status " + std::to_string(EndedBySigterm)), std::string::npos) << ended;

  const std::string handled = RunHost("own");
  EXPECT_NE(handled.find("before 0\nhandled 2\nafter signals 0 0\nshutdown 0\n"
                         "after shutdown 1 1\nfinalized\nstatus 0"),
            std::string::npos)
      << handled;
  EXPECT_GE(LogLinesContaining("Connecting to "), 2u);
  EXPECT_GE(LogLinesContaining("connection shutdown"), 2u);
  EXPECT_EQ(LogLinesContaining("invalid statement handle"), 0u);
  EXPECT_EQ(LogLinesContaining("invalid database handle"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Engines, HostSignalsTest,
                         ::testing::Values(tEngine::Embedded, tEngine::Server),
                         [](const ::testing::TestParamInfo<tEngine>& info) {
                           return info.param == tEngine::Embedded ? "Embedded" : "Server";
                         });
