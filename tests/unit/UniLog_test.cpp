#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "log/tUniLog.h"
#include "log/uLog.h"
#include "unit/SlashedFolder.h"

namespace fs = std::filesystem;

namespace {
std::string ClientPath(const std::string& variant) {
  return std::string(KALVOR_LOGCLIENT_DIR) + "/" + variant + "/LogClient.so";
}

tLocalTime FixedTime() {
  tLocalTime time;
  time.Year = 2013;
  time.Month = 4;
  time.Day = 17;
  time.Hour = 15;
  time.Minute = 30;
  return time;
}

// The library records times with "%.17g".
std::string AsRecorded(double time) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.17g", time);
  return text;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Each test gets a fresh record of the calls the stand-in library received.
class UniLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KALVOR_LOGCLIENT_RECORD", RecordPath.c_str(), 1);
    SetLogFileNames("Host", "Kalvor.so");
  }
  void TearDown() override {
    unsetenv("KALVOR_LOGCLIENT_RECORD");
    SetLogFileNames("", "");
  }

  std::unique_ptr<tUniLog> MakeLog(const std::string& setting, const std::string& variant) {
    return std::make_unique<tUniLog>(
        "\"" + Slashed(Folder) + "Logs/\"YYYY\"_\"MM\"_\"DD\"/\"HH\"_Kalvor.so.log\"", setting,
        ClientPath(variant), FixedTime);
  }
  std::vector<std::string> Calls() const { return Lines(ReadWholeFile(RecordPath)); }
  // The log's first line, naming the library's file.
  std::string LoadedCall(const std::string& variant) const {
    return "message|" + Time + "|Host|Kalvor.so||Log client library loaded from " +
           ClientPath(variant);
  }
  std::string HourlyFile(const std::string& prefix = "") const {
    return ReadWholeFile(Slashed(Folder) + "Logs/2013_04_17/" + prefix + "15_Kalvor.so.log");
  }

  TempFolder Folder;
  TempFolder RecordFolder;
  std::string RecordPath = Slashed(RecordFolder) + "calls.txt";
  const std::string Time = AsRecorded(41381 + 15.5 / 24);  // 17 April 2013, 15:30
};

TEST_F(UniLogTest, LibraryTakingEveryLineGetsAllOfThemAndNoFolderIsMade) {
  auto log = MakeLog("server=logs:9000", "takes_all");
  EXPECT_TRUE(log->WriteLine("hello"));
  EXPECT_TRUE(log->WriteLineTo("detail", "full"));
  EXPECT_TRUE(log->WritePlainLine("plain"));
  EXPECT_TRUE(log->WritePlainLineTo("plain detail", "full"));
  log.reset();
  EXPECT_EQ(Calls(), (std::vector<std::string>{
                         "init|server=logs:9000|500",
                         LoadedCall("takes_all"),
                         "message|" + Time + "|Host|Kalvor.so||hello",
                         "message|" + Time + "|Host|Kalvor.so|full|detail",
                         "message|0|Host|Kalvor.so||plain",
                         "message|0|Host|Kalvor.so|full|plain detail",
                         "finalize",
                     }));
  EXPECT_FALSE(fs::exists(Slashed(Folder) + "Logs"));
}

TEST_F(UniLogTest, RefusedLinesAloneReachTheFileWithTheirStamp) {
  auto log = MakeLog("s", "refuses_marked");
  EXPECT_TRUE(log->WriteLine("taken"));
  EXPECT_TRUE(log->WriteLine("kept [refuse]"));
  EXPECT_TRUE(log->WriteLineTo("full kept [refuse]", "full"));
  EXPECT_TRUE(log->WriteLine("taken again"));
  EXPECT_EQ(HourlyFile(), "15:30:00.000 kept [refuse]\r\n");
  EXPECT_EQ(HourlyFile("full_"), "15:30:00.000 full kept [refuse]\r\n");
  EXPECT_EQ(Calls().size(), 6u);  // init, the library's path and four offers
}

// The file cannot take the lines the library refuses (a file where the day
// folder should be): the library is told so once, and the lines follow in
// order once the folder can be made.
TEST_F(UniLogTest, ALogThatCannotWriteItsFileTellsTheLibraryOnce) {
  auto log = MakeLog("s", "refuses_marked");
  fs::create_directories(Slashed(Folder) + "Logs");
  WriteWholeFile(Slashed(Folder) + "Logs/2013_04_17", "");
  EXPECT_FALSE(log->WriteLine("first [refuse]"));
  EXPECT_FALSE(log->WriteLine("second [refuse]"));
  const std::string told = "message|" + Time +
                           "|Host|Kalvor.so||the log cannot be written, lines "
                           "wait in memory: cannot make the folder " +
                           Slashed(Folder) + "Logs/2013_04_17/: Not a directory";
  const auto calls = Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), told), 1) << ReadWholeFile(RecordPath);
  fs::remove(Slashed(Folder) + "Logs/2013_04_17");
  EXPECT_TRUE(log->WriteLine("third [refuse]"));
  EXPECT_EQ(HourlyFile(),
            "15:30:00.000 first [refuse]\r\n15:30:00.000 second [refuse]\r\n"
            "15:30:00.000 third [refuse]\r\n");
}

TEST_F(UniLogTest, LibraryThatThrowsIsCalledNoMoreAndTheFileGetsItsLines) {
  auto log = MakeLog("s", "throws_marked");
  EXPECT_TRUE(log->WriteLine("taken"));
  EXPECT_TRUE(log->WriteLine("kept [throw]"));
  EXPECT_TRUE(log->WritePlainLine("kept too"));
  log.reset();
  EXPECT_EQ(Calls().size(), 4u);  // init, the library's path and two offers, no finalize
  EXPECT_EQ(HourlyFile(),
            "15:30:00.000 LogClient.so raised a C++ exception in DLL_MessageToLogServer: the log "
            "client is called no more, lines go to this file\r\n"
            "15:30:00.000 kept [throw]\r\nkept too\r\n");
}

// The line waits LogClientPatience at most; it and every later line go to the
// file, and the log's end neither waits for the call nor finalizes the library.
TEST_F(UniLogTest, LibraryThatDoesNotReturnIsCalledNoMoreAndTheFileGetsItsLines) {
  const std::string hold = RecordPath + ".block";
  WriteWholeFile(hold, "");
  auto log = MakeLog("s", "blocks_marked");
  EXPECT_TRUE(log->WriteLine("taken"));
  EXPECT_TRUE(log->WriteLine("kept [block]"));
  EXPECT_TRUE(log->WritePlainLine("kept too"));
  log.reset();
  EXPECT_EQ(HourlyFile(),
            "15:30:00.000 LogClient.so did not return from DLL_MessageToLogServer within 2 s: the "
            "log client is called no more, lines go to this file\r\n"
            "15:30:00.000 kept [block]\r\nkept too\r\n");
  EXPECT_EQ(Calls().size(), 4u);  // init, the library's path and two offers; none returned since
  fs::remove(hold);
  for (int waited = 0; waited < 1000 && Calls().size() == 4u; ++waited) usleep(10000);
  EXPECT_EQ(Calls().back(), "returned");
}

TEST_F(UniLogTest, LibraryLackingAnEntryIsNotUsed) {
  auto log = MakeLog("s", "no_finalize");
  EXPECT_TRUE(log->WriteLine("to the file"));
  log.reset();
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(HourlyFile(), "15:30:00.000 to the file\r\n");
}

TEST_F(UniLogTest, FailedInitialisationStillOffersLines) {
  auto log = MakeLog("s", "init_fails");
  EXPECT_TRUE(log->WriteLine("offered"));
  EXPECT_EQ(Calls(), (std::vector<std::string>{"init|s|500", LoadedCall("init_fails"),
                                               "message|" + Time + "|Host|Kalvor.so||offered"}));
  EXPECT_FALSE(fs::exists(Slashed(Folder) + "Logs"));
}

TEST_F(UniLogTest, WithoutSettingTheLibraryIsNotLoaded) {
  auto log = MakeLog("", "takes_all");
  EXPECT_TRUE(log->WriteLine("to the file"));
  log.reset();
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(HourlyFile(), "15:30:00.000 to the file\r\n");
}

TEST_F(UniLogTest, MissingLibraryLeavesTheFileLog) {
  auto log = MakeLog("s", "no_such_variant");
  EXPECT_TRUE(log->WritePlainLine("to the file"));
  EXPECT_EQ(HourlyFile(), "to the file\r\n");
}
}  // namespace
