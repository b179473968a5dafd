#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "log/tLogRetention.h"
#include "log/tTimeSeparatedFileLog.h"
#include "log/uDateTimePattern.h"
#include "unit/SlashedFolder.h"

namespace fs = std::filesystem;

namespace {
tLocalTime At(int year, int month, int day, int hour, int minute = 0, int second = 0,
              int millisecond = 0) {
  tLocalTime time;
  time.Year = year;
  time.Month = month;
  time.Day = day;
  time.Hour = hour;
  time.Minute = minute;
  time.Second = second;
  time.Millisecond = millisecond;
  return time;
}

// The pattern the process log uses, rooted in a given folder.
std::string HourlyPattern(const std::string& folder) {
  return "\"" + folder + "Logs/\"YYYY\"_\"MM\"_\"DD\"/\"HH\"_Kalvor.so.log\"";
}

TEST(DateTimePattern, ExpandsTokensAndCopiesQuotedText) {
  const tLocalTime time = At(2026, 1, 2, 3);
  EXPECT_EQ(ExpandDateTimePattern("YYYY-MM-DD HH", time), "2026-01-02 03");
  EXPECT_EQ(ExpandDateTimePattern("\"YYYY MM\"YYYY", time), "YYYY MM2026");
  EXPECT_EQ(ExpandDateTimePattern(HourlyPattern("/var/host/"), At(2013, 4, 17, 15)),
            "/var/host/Logs/2013_04_17/15_Kalvor.so.log");
  EXPECT_EQ(ExpandDateTimePattern("\"unterminated", time), "unterminated");
  for (const std::string text : {"/a\"MM\"b/Logs/", "'YYYY' \"\"", "HH\""})
    EXPECT_EQ(ExpandDateTimePattern(PatternLiteral(text) + "HH", time), text + "03") << text;
}

TEST(LocalTime, OleDateCountsDaysFromTheEndOf1899) {
  EXPECT_DOUBLE_EQ(At(1899, 12, 30, 0).OleDate(), 0.0);
  EXPECT_DOUBLE_EQ(At(1900, 1, 1, 12).OleDate(), 2.5);
  EXPECT_DOUBLE_EQ(At(2013, 4, 17, 15).OleDate(), 41381.625);
  EXPECT_DOUBLE_EQ(At(2013, 4, 17, 0, 0, 0, 1).OleDate(), 41381 + 1 / 86400000.0);
}

class TimeSeparatedFileLogTest : public ::testing::Test {
 protected:
  std::string FileAt(const std::string& day, const std::string& name) {
    return Slashed(Folder) + "Logs/" + day + "/" + name;
  }

  TempFolder Folder;
  tLocalTime Now = At(2026, 12, 8, 15, 4, 5, 7);
  tTimeSeparatedFileLog Log{HourlyPattern(Slashed(Folder)), [this] { return Now; }};
};

TEST_F(TimeSeparatedFileLogTest, FolderAppearsWithTheFirstLine) {
  EXPECT_FALSE(fs::exists(Slashed(Folder) + "Logs"));
  EXPECT_TRUE(Log.WriteLine("first"));
  EXPECT_EQ(ReadWholeFile(FileAt("2026_12_08", "15_Kalvor.so.log")), "15:04:05.007 first\r\n");
}

TEST_F(TimeSeparatedFileLogTest, NewFileEveryHourAndNewFolderEveryDay) {
  EXPECT_TRUE(Log.WritePlainLine("at three"));
  Now = At(2026, 12, 8, 16);
  EXPECT_TRUE(Log.WritePlainLine("at four"));
  Now = At(2026, 12, 9, 0);
  EXPECT_TRUE(Log.WritePlainLine("past midnight"));
  EXPECT_EQ(ReadWholeFile(FileAt("2026_12_08", "15_Kalvor.so.log")), "at three\r\n");
  EXPECT_EQ(ReadWholeFile(FileAt("2026_12_08", "16_Kalvor.so.log")), "at four\r\n");
  EXPECT_EQ(ReadWholeFile(FileAt("2026_12_09", "00_Kalvor.so.log")), "past midnight\r\n");
  EXPECT_EQ(Log.GetFileName(), FileAt("2026_12_09", "00_Kalvor.so.log"));
}

TEST_F(TimeSeparatedFileLogTest, FullCopyLandsBesideTheHourlyFile) {
  EXPECT_TRUE(Log.WriteLineTo("detail [] - ()", "full"));
  EXPECT_EQ(ReadWholeFile(FileAt("2026_12_08", "full_15_Kalvor.so.log")),
            "15:04:05.007 detail [] - ()\r\n");
  EXPECT_FALSE(fs::exists(FileAt("2026_12_08", "15_Kalvor.so.log")));
}

// A file where the day folder should be (what root, for whom a read-only
// folder is none, can be refused by): the lines wait, with their file names,
// and go where they belong once the folder can be made.
TEST_F(TimeSeparatedFileLogTest, LinesWaitWhileTheDayFolderCannotBeMade) {
  fs::create_directories(Slashed(Folder) + "Logs");
  const std::string blocker = Slashed(Folder) + "Logs/2026_12_08";
  std::ofstream(blocker) << "a regular file where a folder should be";
  EXPECT_FALSE(Log.WriteLine("waits"));
  EXPECT_FALSE(Log.WriteLineTo("detail", "full"));
  EXPECT_EQ(Log.GetFileName(), FileAt("2026_12_08", "15_Kalvor.so.log"));
  EXPECT_TRUE(fs::is_regular_file(blocker));
  fs::remove(blocker);
  EXPECT_TRUE(Log.WriteLine("after"));
  EXPECT_EQ(ReadWholeFile(FileAt("2026_12_08", "15_Kalvor.so.log")),
            "15:04:05.007 waits\r\n15:04:05.007 after\r\n");
  EXPECT_EQ(ReadWholeFile(FileAt("2026_12_08", "full_15_Kalvor.so.log")),
            "15:04:05.007 detail\r\n");
}

TEST(TimeSeparatedFileLog, PatternWithoutFolderFailsQuietly) {
  tTimeSeparatedFileLog log("\"kalvor_no_folder_\"HH\".log\"");
  EXPECT_NO_THROW(EXPECT_FALSE(log.WriteLine("lost")));
  EXPECT_NO_THROW(EXPECT_FALSE(log.WriteLineTo("lost", "full")));
  EXPECT_EQ(log.GetFileName(), "");
  EXPECT_FALSE(fs::exists("full_"));
}
}  // namespace

namespace {
void Touch(const fs::path& file) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << "x";
}
}  // namespace

// LogKeepDays=2 on 10 December: day folders from before the 8th go, as far as
// they hold the plugin's own files; anything else stays.
TEST(LogRetention, RemovesOnlyTheOwnFilesOfOldDayFoldersAndFoldersLeftEmpty) {
  TempFolder logs;
  const fs::path root = logs.Path();
  for (const char* own : {"00_Kalvor.so.log", "23_Kalvor.so.log", "full_13_Kalvor.so.log"})
    Touch(root / "2026_12_01" / own);
  Touch(root / "2026_12_07" / "09_Kalvor.so.log");
  Touch(root / "2026_12_08" / "09_Kalvor.so.log");
  Touch(root / "2026_12_02" / "09_Kalvor.so.log");
  Touch(root / "2026_12_02" / "notes.txt");
  Touch(root / "2026_12_03" / "09_Kalvor_North.so.log");
  Touch(root / "2026_12_03" / "10_Kalvor.so.log");
  Touch(root / "2026_12_04" / "saved" / "09_Kalvor.so.log");
  for (const char* foreign : {"24_Kalvor.so.log", "9_Kalvor.so.log", "_09_Kalvor.so.log",
                              "full-09_Kalvor.so.log", "09_Kalvor.so.log.gz"})
    Touch(root / "2026_12_05" / foreign);
  Touch(root / "2026_02_30" / "09_Kalvor.so.log");
  Touch(root / "backup" / "09_Kalvor.so.log");
  Touch(root / "2026_11_30");

  tLogRetention retention(root.string(), "Kalvor.so", 2);
  const auto line = retention.Run(At(2026, 12, 10, 14));
  ASSERT_TRUE(line);
  EXPECT_EQ(*line,
            "Log retention (LogKeepDays=2): removed 2 day folders and 6 files from before "
            "2026-12-08; kept 2026_12_02 (holds files not the plugin's own), 2026_12_03 (holds "
            "files not the plugin's own), 2026_12_04 (holds files not the plugin's own), "
            "2026_12_05 (holds files not the plugin's own)");
  EXPECT_FALSE(fs::exists(root / "2026_12_01"));
  EXPECT_FALSE(fs::exists(root / "2026_12_07"));
  EXPECT_TRUE(fs::exists(root / "2026_12_08" / "09_Kalvor.so.log")) << "within the days kept";
  EXPECT_TRUE(fs::exists(root / "2026_12_02" / "notes.txt"));
  EXPECT_FALSE(fs::exists(root / "2026_12_02" / "09_Kalvor.so.log"));
  EXPECT_TRUE(fs::exists(root / "2026_12_03" / "09_Kalvor_North.so.log")) << "another copy's";
  EXPECT_TRUE(fs::exists(root / "2026_12_04" / "saved" / "09_Kalvor.so.log"));
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "2026_12_05"), fs::directory_iterator()),
            5);
  EXPECT_TRUE(fs::exists(root / "2026_02_30" / "09_Kalvor.so.log")) << "no such day";
  EXPECT_TRUE(fs::exists(root / "backup" / "09_Kalvor.so.log"));
  EXPECT_TRUE(fs::is_regular_file(root / "2026_11_30")) << "a file, not a day folder";

  EXPECT_FALSE(retention.Run(At(2026, 12, 10, 15))) << "the folders kept are told once";
  fs::remove(root / "2026_12_02" / "notes.txt");
  EXPECT_EQ(retention.Run(At(2026, 12, 11, 0)),
            "Log retention (LogKeepDays=2): removed 2 day folders and 1 file from before "
            "2026-12-09");
  EXPECT_FALSE(fs::exists(root / "2026_12_02"));
  EXPECT_FALSE(fs::exists(root / "2026_12_08"));
}
