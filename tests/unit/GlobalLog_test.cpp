#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

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

// Where the process log puts a line written now: the hour may turn meanwhile,
// so both readings of the clock are candidates.
std::string HourlyFileContent(const tLocalTime& time) {
  const std::string module = ModuleFileName();
  return ReadWholeFile(ExpandDateTimePattern(
      "\"" + HostFolder() + "Logs/\"YYYY\"_\"MM\"_\"DD\"/\"HH\"_" + module + ".log\"", time));
}

// Leaves a Logs folder that other suites beside this program had made.
class GlobalLogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FreeGlobalLog();
    if (!LogsExisted) fs::remove_all(HostFolder() + "Logs");
  }

  const bool LogsExisted = fs::exists(HostFolder() + "Logs");
};

TEST_F(GlobalLogTest, WritesFailWithoutTheLog) {
  EXPECT_FALSE(LogWrite("nowhere"));
  CreateGlobalLog();
  FreeGlobalLog();
  EXPECT_EQ(GlobalLog, nullptr);
  EXPECT_FALSE(LogWrite("nowhere"));
  EXPECT_FALSE(LogWriteTo("nowhere", "full"));
}

TEST_F(GlobalLogTest, LogsBesideTheHostProgramPerDayAndHour) {
  CreateGlobalLog();
  ASSERT_NE(GlobalLog, nullptr);
  tUniLog* const first = GlobalLog;
  CreateGlobalLog();
  EXPECT_EQ(GlobalLog, first);
  EXPECT_EQ(HostFileName(), ExtractFileName(HostExecutablePath()));
  EXPECT_EQ(ModuleFileName(), ExtractFileName(OwnModuleFilePath()));

  const tLocalTime before = tLocalTime::Now();
  EXPECT_TRUE(LogWrite("global line"));
  const tLocalTime after = tLocalTime::Now();
  const std::string content = HourlyFileContent(before) + HourlyFileContent(after);
  EXPECT_NE(content.find("global line\r\n"), std::string::npos) << content;
}

// The tool and the suites find the files by the vocabulary's rule, not by the
// writer's pattern: both must name the same files.
TEST_F(GlobalLogTest, LinesLandWhereTheVocabularysReadersLook) {
  CreateGlobalLog();
  const auto readerContent = [](const tLocalTime& time, const char* prefix) {
    const std::string hourly = HourlyFileName(time.Hour, ModuleFileName());
    return ReadWholeFile(HostFolder() + LogsFolderName + "/" +
                         DayFolderName(time.Year, time.Month, time.Day) + "/" +
                         (*prefix ? PrefixedLogFileName(prefix, hourly) : hourly));
  };
  const tLocalTime before = tLocalTime::Now();
  EXPECT_TRUE(LogWrite("plain line"));
  EXPECT_TRUE(LogWriteTo("detailed line", FullLogPrefix));
  const tLocalTime after = tLocalTime::Now();
  const std::string plain = readerContent(before, "") + readerContent(after, "");
  const std::string full =
      readerContent(before, FullLogPrefix) + readerContent(after, FullLogPrefix);
  EXPECT_NE(plain.find("plain line\r\n"), std::string::npos) << plain;
  EXPECT_NE(full.find("detailed line\r\n"), std::string::npos) << full;
  EXPECT_EQ(plain.find("detailed line"), std::string::npos) << plain;
}

TEST_F(GlobalLogTest, HostIniNamesTheLogServerAndTheClientIsFoundBesideTheHost) {
  TempFolder recordFolder;
  const std::string record = Slashed(recordFolder) + "calls.txt";
  setenv("KALVOR_LOGCLIENT_RECORD", record.c_str(), 1);
  tFileBesideHost client(LogClientLibraryName());
  fs::copy_file(TakesAll, client.Path);
  tFileBesideHost ini(ExtractFileName(ChangeFileExt(HostExecutablePath(), ".ini")));
  std::ofstream(ini.Path) << "[Main]\nx=1\n[Debug]\n"
                          << ExtractFileName(OwnModuleFilePath()) << "=server=logs:9000\n";

  CreateGlobalLog();
  const tLocalTime before = tLocalTime::Now();
  EXPECT_TRUE(LogWriteTo("forwarded", "full"));
  const tLocalTime after = tLocalTime::Now();
  FreeGlobalLog();
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

TEST_F(GlobalLogTest, ErrorsOfTheLogNeverReachTheCaller) {
  TempFolder folder;
  GlobalLog = new tUniLog("\"" + Slashed(folder) + "\"HH\".log\"", "", LogClientLibraryName(),
                          []() -> tLocalTime { throw std::runtime_error("clock"); });
  EXPECT_FALSE(LogWrite("x"));
  EXPECT_FALSE(LogWriteTo("x", "full"));
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
