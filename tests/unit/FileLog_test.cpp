#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "log/tFileLog.h"
#include "log/uLineFit.h"
#include "platform/AppendFile.h"
#include "support/FileSizeLimit.h"
#include "unit/SlashedFolder.h"

namespace {
tLocalTime FixedTime() {
  tLocalTime time;
  time.Year = 2026;
  time.Month = 12;
  time.Day = 8;
  time.Hour = 15;
  time.Minute = 4;
  time.Second = 5;
  time.Millisecond = 7;
  return time;
}

const std::string FixedStamp = "15:04:05.007 ";

class FileLogTest : public ::testing::Test {
 protected:
  TempFolder Folder;
  std::string Name = Slashed(Folder) + "15_Kalvor.so.log";
  tFileLog Log{Name, FixedTime};
};

TEST_F(FileLogTest, StampedAndPlainLinesEndInCrLf) {
  EXPECT_TRUE(Log.WriteLine("hello"));
  EXPECT_TRUE(Log.WritePlainLine("plain"));
  EXPECT_TRUE(Log.WriteLine(""));
  EXPECT_TRUE(Log.WritePlainLine(""));
  EXPECT_EQ(ReadWholeFile(Name), FixedStamp + "hello\r\nplain\r\n" + FixedStamp + "\r\n\r\n");
}

TEST_F(FileLogTest, BytesAreWrittenUnchanged) {
  const std::string cyrillic = "\xcd\xe5\xf2 \x01\t\"";
  EXPECT_TRUE(Log.WritePlainLine(cyrillic));
  EXPECT_EQ(ReadWholeFile(Name), cyrillic + "\r\n");
}

TEST_F(FileLogTest, AppendsToAnExistingFile) {
  EXPECT_TRUE(Log.WritePlainLine("first"));
  tFileLog other(Name, FixedTime);
  EXPECT_TRUE(other.WritePlainLine("second"));
  EXPECT_EQ(ReadWholeFile(Name), "first\r\nsecond\r\n");
}

TEST_F(FileLogTest, PrefixedLinesGoToTheSiblingFile) {
  EXPECT_TRUE(Log.WriteLineTo("detail", "full"));
  EXPECT_TRUE(Log.WritePlainLineTo("plain detail", "full"));
  EXPECT_TRUE(Log.WriteLineTo("same file", ""));
  EXPECT_EQ(ReadWholeFile(Slashed(Folder) + "full_15_Kalvor.so.log"),
            FixedStamp + "detail\r\nplain detail\r\n");
  EXPECT_EQ(ReadWholeFile(Name), FixedStamp + "same file\r\n");
}

TEST(FileLogEmptyName, WritesNothingAnywhere) {
  tFileLog log("", FixedTime);
  EXPECT_FALSE(log.WriteLine("x"));
  EXPECT_FALSE(log.WritePlainLine("x"));
  EXPECT_FALSE(log.WriteLineTo("x", "full"));
  EXPECT_FALSE(log.WritePlainLineTo("x", "full"));
  EXPECT_FALSE(std::filesystem::exists("full_"));
}

// Whole line lengths around the limit: 8191 bytes fit; a longer line loses the
// middle of its message but keeps its end and its CR LF, so the next line
// starts on its own.
class FileLogCutTest : public FileLogTest, public ::testing::WithParamInterface<std::size_t> {};

void ExpectCutLine(const std::string& line, const std::string& start, const std::string& end) {
  SCOPED_TRACE(line.size());
  EXPECT_LE(line.size(), 8191u);
  EXPECT_EQ(line.substr(0, start.size()), start);
  EXPECT_EQ(line.substr(line.size() - end.size() - 2), end + "\r\n");
}

TEST_P(FileLogCutTest, StampedLineKeepsItsEndAt8191Bytes) {
  const std::size_t lineLength = GetParam();
  const std::string message(lineLength - FixedStamp.size() - 2 - 6, 'm');
  EXPECT_TRUE(Log.WriteLine(message + " error"));
  EXPECT_TRUE(Log.WriteLine("next"));
  const std::string text = ReadWholeFile(Name);
  const std::string first = text.substr(0, text.find("\r\n") + 2);
  if (lineLength <= 8191) {
    EXPECT_EQ(first, FixedStamp + message + " error\r\n");
  }
  ExpectCutLine(first, FixedStamp + "mmm", "mmm error");
  EXPECT_EQ(text.substr(first.size()), FixedStamp + "next\r\n");
}

TEST_P(FileLogCutTest, PlainLineKeepsItsEndAt8191Bytes) {
  const std::string message(GetParam() - 2, 'p');
  EXPECT_TRUE(Log.WritePlainLine(message));
  ExpectCutLine(ReadWholeFile(Name), "ppp", "ppp");
}

INSTANTIATE_TEST_SUITE_P(AroundTheLimit, FileLogCutTest,
                         ::testing::Values(8191, 8192, 8193, 20000));

// The server's text after a long key: the key gives way in its middle.
TEST(LineFit, TheLongestQuotedValueGivesWayInItsMiddle) {
  const std::string key(9000, 'k');
  const std::string message =
      "Exception Msg=\"lock conflict\" IN[item_key=\"" + key + "\\\"\"] - commit outcome unknown";
  const std::string fitted = FitMessage(message, 1000);
  EXPECT_EQ(fitted.size(), 1000u);
  EXPECT_EQ(fitted.substr(0, 50), message.substr(0, 50));
  EXPECT_EQ(fitted.substr(fitted.size() - 40), message.substr(message.size() - 40));
  EXPECT_NE(
      fitted.find("k...(" + std::to_string(message.size() - 1000 + 27) + " bytes left out)...k"),
      std::string::npos)
      << fitted;
  EXPECT_EQ(FitMessage("short", 1000), "short");
}

// Another process or log object in the middle of its line: this one waits its turn.
TEST_F(FileLogTest, LineWaitsWhileAnotherWriterHoldsTheFile) {
  auto holder = std::make_unique<tAppendFile>(Name);
  ASSERT_TRUE(holder->IsOpen());
  ASSERT_TRUE(holder->SeekToEnd());
  std::thread finish([&holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    holder->Write("other\r\n", 7);
    holder.reset();
  });
  EXPECT_TRUE(Log.WriteLine("kept"));
  finish.join();
  EXPECT_EQ(ReadWholeFile(Name), "other\r\n" + FixedStamp + "kept\r\n");
}

// A full disk: lines wait in memory and reach the file in order once it takes
// them again, none cut in two.
TEST_F(FileLogTest, LinesTheDiskRefusesWaitAndFollowInOrder) {
  ASSERT_TRUE(Log.WritePlainLine("first"));
  {
    FileSizeLimit limit(std::string("first\r\n").size() + 20);
    EXPECT_FALSE(Log.WritePlainLine(std::string(40, 'x')));
    EXPECT_FALSE(Log.WriteLine("a stamped line that does not fit either"));
    EXPECT_FALSE(Log.WritePlainLine("fits"));
    EXPECT_TRUE(Log.HoldsLines());
  }
  EXPECT_TRUE(Log.WriteLine("after"));
  EXPECT_EQ(ReadWholeFile(Name), "first\r\n" + std::string(40, 'x') + "\r\n" + FixedStamp +
                                     "a stamped line that does not fit either\r\nfits\r\n" +
                                     FixedStamp + "after\r\n");
  EXPECT_EQ(Log.TakeLostLines(), 0u);
}

// Beyond what may wait in memory lines are lost; the first line written after
// them counts them, with when and why, and so do the figures.
TEST_F(FileLogTest, LinesBeyondTheHeldBytesAreCountedInAGapLine) {
  const std::string line(1022, 'h');
  const std::size_t held = tFileLog::HeldBytesLimit / (line.size() + 2);
  {
    FileSizeLimit limit(0);
    for (std::size_t i = 0; i < held + 30; ++i) EXPECT_FALSE(Log.WritePlainLine(line));
  }
  EXPECT_TRUE(Log.WriteLine("after"));
  EXPECT_EQ(ReadWholeFile(Name),
            [&] {
              std::string text;
              for (std::size_t i = 0; i < held; ++i) text += line + "\r\n";
              return text;
            }() +
                FixedStamp +
                "Log gap: 30 lines could not be written since 2026-12-08 15:04:05.007: cannot "
                "write " +
                Name + ": File too large\r\n" + FixedStamp + "after\r\n");
  EXPECT_EQ(Log.TakeLostLines(), 30u);
  EXPECT_EQ(Log.TakeLostLines(), 0u);
}

TEST(FileLogThreads, LinesFromConcurrentWritersNeverInterleave) {
  constexpr int Threads = 4;
  constexpr int LinesPerThread = 500;
  TempFolder folder;
  const std::string name = Slashed(folder) + "threads.log";
  tFileLog log(name);
  const std::string padding(200, '.');
  std::vector<std::thread> writers;
  for (int t = 0; t < Threads; ++t) {
    writers.emplace_back([&, t] {
      for (int i = 0; i < LinesPerThread; ++i)
        log.WriteLine("T" + std::to_string(t) + " " + std::to_string(i) + " " + padding);
    });
  }
  for (auto& writer : writers) writer.join();

  std::istringstream file(ReadWholeFile(name));
  std::vector<int> nextOfThread(Threads, 0);
  std::string line;
  int count = 0;
  while (std::getline(file, line)) {
    ++count;
    ASSERT_GT(line.size(), 14u);
    const int thread = line[14] - '0';
    ASSERT_TRUE(thread >= 0 && thread < Threads) << line;
    ASSERT_EQ(line.substr(13), "T" + std::to_string(thread) + " " +
                                   std::to_string(nextOfThread[thread]++) + " " + padding + "\r");
  }
  EXPECT_EQ(count, Threads * LinesPerThread);
}
}  // namespace
