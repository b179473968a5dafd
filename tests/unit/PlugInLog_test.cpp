#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "log/tPlugInLog.h"
#include "log/tUniLog.h"
#include "log/uDateTimePattern.h"
#include "log/uLog.h"
#include "log/uLogVocabulary.h"
#include "log/uModule.h"
#include "platform/ModulePaths.h"
#include "platform/Paths.h"
#include "unit/SlashedFolder.h"

namespace fs = std::filesystem;

namespace {
const std::string TakesAll = std::string(KALVOR_LOGCLIENT_DIR) + "/takes_all/LogClient.so";

std::string HostFolder() {
  return ExtractFilePath(HostExecutablePath());
}

// A file put beside the test program for one test, removed afterwards.
class tFileBesideHost {
 public:
  explicit tFileBesideHost(const std::string& name) : Path(HostFolder() + name) {}
  ~tFileBesideHost() { fs::remove(Path); }
  const std::string Path;
};

// Where the log puts a line written now: the hour may turn meanwhile,
// so both readings of the clock are candidates.
std::string HourlyFileContent(const tLocalTime& time) {
  const std::string module = ModuleFileName();
  return ReadWholeFile(ExpandDateTimePattern(
      "\"" + HostFolder() + "Logs/\"YYYY\"_\"MM\"_\"DD\"/\"HH\"_" + module + ".log\"", time));
}

// Leaves a Logs folder that other suites beside this program had made.
class PlugInLogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    Log.reset();
    if (!LogsExisted) fs::remove_all(HostFolder() + "Logs");
  }

  const bool LogsExisted = fs::exists(HostFolder() + "Logs");
  std::unique_ptr<tPlugInLog> Log;
};

TEST_F(PlugInLogTest, ALogWithoutAFileTakesLinesAndWritesNone) {
  tPlugInLog log;
  log.SetLevel(2);
  EXPECT_FALSE(log.Write("nowhere"));
  EXPECT_FALSE(log.WriteHourly("nowhere"));
  EXPECT_FALSE(log.WriteFailure("kept all the same"));
  EXPECT_EQ(log.CurrentFileName(), "");
  EXPECT_EQ(log.TakeLostLines(), 0u);
  EXPECT_FALSE(log.HoldsLines());
  ASSERT_EQ(log.RecentFailures().size(), 1u);
  EXPECT_TRUE(log.RecentFailures()[0].ends_with(" kept all the same")) << log.RecentFailures()[0];
}

TEST_F(PlugInLogTest, LogsBesideTheHostProgramPerDayAndHour) {
  Log = tPlugInLog::OpenBesideHost();
  ASSERT_NE(Log, nullptr);
  EXPECT_EQ(HostFileName(), ExtractFileName(HostExecutablePath()));
  EXPECT_EQ(ModuleFileName(), ExtractFileName(OwnModuleFilePath()));

  const tLocalTime before = tLocalTime::Now();
  EXPECT_TRUE(Log->Write("plugin line"));
  const tLocalTime after = tLocalTime::Now();
  const std::string content = HourlyFileContent(before) + HourlyFileContent(after);
  EXPECT_NE(content.find("plugin line\r\n"), std::string::npos) << content;
  EXPECT_NE(Log->CurrentFileName(), "");
}

// The tool and the suites find the files by the vocabulary's rule, not by the
// writer's pattern: both must name the same files. From LogLevel 2 on a
// line written with its copy lands in both files, an hourly-only line in one.
TEST_F(PlugInLogTest, LinesLandWhereTheVocabularysReadersLookAndReachTheFullFileByLevel) {
  Log = tPlugInLog::OpenBesideHost();
  const auto readerContent = [](const tLocalTime& time, const char* prefix) {
    const std::string hourly = HourlyFileName(time.Hour, ModuleFileName());
    return ReadWholeFile(HostFolder() + LogsFolderName + "/" +
                         DayFolderName(time.Year, time.Month, time.Day) + "/" +
                         (*prefix ? PrefixedLogFileName(prefix, hourly) : hourly));
  };
  const tLocalTime before = tLocalTime::Now();
  EXPECT_TRUE(Log->Write("before the level"));
  Log->SetLevel(2);
  EXPECT_TRUE(Log->Write("detailed line"));
  EXPECT_TRUE(Log->WriteHourly("hourly line"));
  const tLocalTime after = tLocalTime::Now();
  const std::string plain = readerContent(before, "") + readerContent(after, "");
  const std::string full =
      readerContent(before, FullLogPrefix) + readerContent(after, FullLogPrefix);
  for (const char* line : {"before the level\r\n", "detailed line\r\n", "hourly line\r\n"})
    EXPECT_NE(plain.find(line), std::string::npos) << line << plain;
  EXPECT_NE(full.find("detailed line\r\n"), std::string::npos) << full;
  EXPECT_EQ(full.find("before the level"), std::string::npos) << full;
  EXPECT_EQ(full.find("hourly line"), std::string::npos) << full;
}

TEST_F(PlugInLogTest, HostIniNamesTheLogServerAndTheClientIsFoundBesideTheHost) {
  TempFolder recordFolder;
  const std::string record = Slashed(recordFolder) + "calls.txt";
  setenv("KALVOR_LOGCLIENT_RECORD", record.c_str(), 1);
  tFileBesideHost client(LogClientLibraryName());
  fs::copy_file(TakesAll, client.Path);
  tFileBesideHost ini(ExtractFileName(ChangeFileExt(HostExecutablePath(), ".ini")));
  std::ofstream(ini.Path) << "[Main]\nx=1\n[Debug]\n"
                          << ExtractFileName(OwnModuleFilePath()) << "=server=logs:9000\n";

  Log = tPlugInLog::OpenBesideHost();
  Log->SetLevel(2);
  const tLocalTime before = tLocalTime::Now();
  EXPECT_TRUE(Log->Write("forwarded"));
  const tLocalTime after = tLocalTime::Now();
  Log.reset();
  unsetenv("KALVOR_LOGCLIENT_RECORD");

  const std::string calls = ReadWholeFile(record);
  EXPECT_EQ(calls.rfind("init|server=logs:9000|500\n", 0), 0u) << calls;
  EXPECT_NE(
      calls.find("|" + std::string(HostFileName()) + "|" + ModuleFileName() + "|full|forwarded\n"),
      std::string::npos)
      << calls;
  EXPECT_TRUE(calls.ends_with("finalize\n")) << calls;
  // The client took the line: no file beside the host has it.
  const std::string local = HourlyFileContent(before) + HourlyFileContent(after);
  EXPECT_EQ(local.find("forwarded"), std::string::npos) << local;
}

TEST_F(PlugInLogTest, ErrorsOfTheLogNeverReachTheCaller) {
  TempFolder folder;
  tPlugInLog log(
      std::make_unique<tUniLog>("\"" + Slashed(folder) + "\"HH\".log\"", "", LogClientLibraryName(),
                                []() -> tLocalTime { throw std::runtime_error("clock"); }));
  log.SetLevel(2);
  EXPECT_FALSE(log.Write("x"));
  EXPECT_FALSE(log.WriteHourly("x"));
}

TEST(ModuleFunctions, LoadByPathLookUpEntriesAndUnload) {
  tDynamicLibrary library = LoadLibraryWithFallback(TakesAll);
  ASSERT_TRUE(library.IsLoaded());
  EXPECT_NE(GetLibraryProc(library, "DLL_MessageToLogServer"), nullptr);
  EXPECT_EQ(GetLibraryProc(library, "DLL_NoSuchEntry"), nullptr);
  UnloadLibrary(library);
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(GetLibraryProc(library, "DLL_MessageToLogServer"), nullptr);
}

TEST(ModuleFunctions, BareNameFallsBackToTheHostFolderOnly) {
  tFileBesideHost copy("KalvorFallbackClient.so");
  fs::copy_file(TakesAll, copy.Path);
  EXPECT_TRUE(LoadLibraryWithFallback("KalvorFallbackClient.so").IsLoaded());
  EXPECT_FALSE(LoadLibraryWithFallback("no_such_folder/KalvorFallbackClient.so").IsLoaded());
  EXPECT_FALSE(LoadLibraryWithFallback("KalvorNoSuchClient.so").IsLoaded());
}

}  // namespace
