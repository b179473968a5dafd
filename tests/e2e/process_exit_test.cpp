// A careless host as it really runs: a program of its own, in a folder whose
// name looks like a date pattern, loading a copy of the plugin through a
// symbolic link, and ending without Finalize_Plugin while commands run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/ShellCommand.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

namespace fs = std::filesystem;

namespace {
constexpr size_t StampLength = 13;
constexpr size_t LongestLine = 8191;

enum class tEngine { Embedded, Server };

// A demo menu database and the ini lines that reach it, the name in quotes
// as an operator may write it.
class DemoDatabase {
 public:
  DemoDatabase(tEngine engine, const TempFolder& folder) {
    if (engine == tEngine::Server) {
      Server = std::make_unique<TestDatabase>();
      Server->RunScript(fs::path(KALVOR_SOURCE_DIR) / "sql" / "demo-data.sql");
      IniLines = "DBName=\"" + Server->ConnectionString() + "\"\nDBUser=" + TestDatabase::User() +
                 "\nDBPWD=" + TestDatabase::Password() + "\n";
      return;
    }
    const std::string path = folder / "menu.fdb";
    const ShellResult created = RunShellCommand(
        ShellQuoted(std::string(KALVOR_SOURCE_DIR) + "/scripts/create-database.sh") + " " +
        ShellQuoted(path) + " --demo");
    if (!created.Succeeded) throw std::runtime_error(created.Output);
    IniLines = "DBName=\"" + path + "\"\nDBUser=SYSDBA\n";
  }

  std::string IniLines;

 private:
  std::unique_ptr<TestDatabase> Server;
};

std::vector<fs::path> FilesUnder(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(entry.path());
  return files;
}

class ProcessExitTest : public ::testing::TestWithParam<tEngine> {};
}  // namespace

TEST_P(ProcessExitTest, HostEndingWithoutFinalizeExitsCleanlyAndTheLogTellsNoLies) {
  TempFolder root;
  DemoDatabase database(GetParam(), root);
  const fs::path hostFolder = root.Path() / "a\"MM\"b";
  fs::create_directory(hostFolder);
  const fs::path host = hostFolder / "kalvor_exit_host";
  fs::copy_file(KALVOR_EXIT_HOST_PATH, host);

  PluginCopy plugin;
  const fs::path link = fs::path(plugin.LibraryPath()).parent_path() / "Kalvor_North.so";
  fs::create_symlink("Kalvor.so", link);
  WriteWholeFile(link.parent_path() / "Kalvor_North.ini",
                 "[Main]\n" + database.IniLines + "LogLevel=1\n");

  const ShellResult run = RunShellCommand(ShellQuoted(host.string()) + " " + ShellQuoted(link));
  EXPECT_TRUE(run.Succeeded) << run.Output;
  EXPECT_NE(run.Output.find("name DYNAMIC_MENU_North\n"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("queued 300\n"), std::string::npos) << run.Output;

  // The host's folder is taken as it is, and the log is named after the link.
  ASSERT_TRUE(fs::exists(hostFolder / "Logs")) << run.Output;
  const std::vector<fs::path> logs = FilesUnder(hostFolder / "Logs");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].filename().string().substr(2), "_Kalvor_North.so.log");
  EXPECT_EQ(std::distance(fs::directory_iterator(root.Path()), fs::directory_iterator()),
            GetParam() == tEngine::Embedded ? 2 : 1);

  const std::string text = ReadWholeFile(logs[0]);
  EXPECT_NE(text.find("Init SUCCESS. Ready To Work"), std::string::npos);
  EXPECT_NE(text.find("item_key=\"1\\r\\n12:00:00.000 Finalize Close Database connection.\"]"),
            std::string::npos);
  EXPECT_EQ(text.find("connection shutdown"), std::string::npos);
  size_t cutLines = 0;
  for (const std::string& line : SplitLogLines(text, false)) {
    ASSERT_GE(line.size(), StampLength) << line;
    EXPECT_EQ(line[2], ':') << line;
    EXPECT_FALSE(line.substr(StampLength).starts_with("Finalize Close Database connection."));
    EXPECT_LE(line.size() + 2, LongestLine) << line.substr(0, 100);
    if (line.size() + 2 == LongestLine) ++cutLines;
  }
  EXPECT_GE(cutLines, 1u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Engines, ProcessExitTest,
                         ::testing::Values(tEngine::Embedded, tEngine::Server),
                         [](const ::testing::TestParamInfo<tEngine>& info) {
                           return info.param == tEngine::Embedded ? "Embedded" : "Server";
                         });
