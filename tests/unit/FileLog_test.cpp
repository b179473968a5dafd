#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "log/tFileLog.h"
#include "platform/AppendFile.h"
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
// end of its message but keeps its CR LF, so the next line starts on its own.
class FileLogCutTest : public FileLogTest, public ::testing::WithParamInterface<std::size_t> {};

std::string CutLine(const std::string& text) {
  return text.substr(0, 8189) + "\r\n";
}

TEST_P(FileLogCutTest, StampedLineIsCutAt8191Bytes) {
  const std::size_t lineLength = GetParam();
  const std::string message(lineLength - FixedStamp.size() - 2, 'm');
  EXPECT_TRUE(Log.WriteLine(message));
  EXPECT_TRUE(Log.WriteLine("next"));
  EXPECT_EQ(ReadWholeFile(Name), CutLine(FixedStamp + message) + FixedStamp + "next\r\n");
}

TEST_P(FileLogCutTest, PlainLineIsCutAt8191Bytes) {
  const std::size_t lineLength = GetParam();
  const std::string message(lineLength - 2, 'p');
  EXPECT_TRUE(Log.WritePlainLine(message));
  EXPECT_EQ(ReadWholeFile(Name), CutLine(message));
}

INSTANTIATE_TEST_SUITE_P(AroundTheLimit, FileLogCutTest, ::testing::Values(8191, 8192, 8193));

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

// A file size limit for the time of a test: a write that crosses it takes only
// part of its bytes, as on a disk that fills up.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : PreviousHandler(std::signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &Previous);
    rlimit limit = Previous;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Previous);
    std::signal(SIGXFSZ, PreviousHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  void (*PreviousHandler)(int);
  rlimit Previous{};
};

TEST_F(FileLogTest, LineThatDoesNotFitIsLeftOutWholeAndTheNextStartsClean) {
  ASSERT_TRUE(Log.WritePlainLine("first"));
  {
    FileSizeLimit limit(std::string("first\r\n").size() + 20);
    EXPECT_FALSE(Log.WritePlainLine(std::string(40, 'x')));
    EXPECT_FALSE(Log.WriteLine("a stamped line that does not fit either"));
    EXPECT_TRUE(Log.WritePlainLine("fits"));
  }
  EXPECT_TRUE(Log.WriteLine("after"));
  EXPECT_EQ(ReadWholeFile(Name), "first\r\nfits\r\n" + FixedStamp + "after\r\n");
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
