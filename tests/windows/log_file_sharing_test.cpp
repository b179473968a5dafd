// The hourly file as Windows shares it: two host processes, each with two
// copies of the plugin under one file name, write at full speed while a log
// viewer holds the file open; and a host folder so deep that the log's path
// passes MAX_PATH.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "LogWriterHost.h"
#include "WindowsHost.h"
#include "support/LogTail.h"
#include "support/TempFolder.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {
const std::string Started = "--New Operation was complete started-->";
const std::string Completed = "<--Operation was complete [";

// Lines that are whole: each holds exactly one of the two texts, at its start.
struct tLineCounts {
  size_t Started = 0;
  size_t Completed = 0;
  size_t Torn = 0;
};

tLineCounts CountLines(const std::string& text) {
  tLineCounts counts;
  for (const auto& line : SplitLogLines(text, true)) {
    const size_t mentions =
        (line.find("Operation") != std::string::npos) +
        (line.find("Operation", line.find("Operation") + 1) != std::string::npos);
    if (line == Started)
      ++counts.Started;
    else if (line.rfind(Completed, 0) == 0 && line.size() > Completed.size() + 3 &&
             line.compare(line.size() - 3, 3, "]--") == 0 && mentions == 1)
      ++counts.Completed;
    else if (mentions > 0)
      ++counts.Torn;
  }
  return counts;
}

fs::path LongForm(const fs::path& path) {
  return fs::path(L"\\\\?\\" + path.wstring());
}

// Empty when there is no such file.
std::string ReadLong(const fs::path& path) {
  const HANDLE file =
      CreateFileW(LongForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  char block[65536];
  DWORD got = 0;
  while (ReadFile(file, block, sizeof block, &got, nullptr) && got > 0) text.append(block, got);
  CloseHandle(file);
  return text;
}
}  // namespace

TEST(LogFileSharing, TwoProcessesTwoCopiesEachAndAViewerLoseNoLine) {
  constexpr int Commands = 300;
  const std::string hourly = HourlyLogCandidates("Kalvor.dll").front();
  fs::create_directories(fs::path(hourly).parent_path());
  const LogTail log(HostLogsFolder());
  const HANDLE viewer =
      CreateFileA(hourly.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  const std::string arguments = std::string(LogWriterSwitch) + " " + std::to_string(Commands);
  int firstExit = -2;
  std::thread first([&] { firstExit = RunThisProgram(arguments, 300s); });
  const int secondExit = RunThisProgram(arguments, 300s);
  first.join();
  CloseHandle(viewer);
  EXPECT_EQ(firstExit, 0);
  EXPECT_EQ(secondExit, 0);

  const size_t lines = 2 * LogWriterCopies * Commands;
  const auto counts = CountLines(log.MainText());
  EXPECT_EQ(counts.Started, lines);
  EXPECT_EQ(counts.Completed, lines);
  EXPECT_EQ(counts.Torn, 0u);
}

TEST(LogFileSharing, HostFolderPastMaxPathGetsItsLog) {
  constexpr int Commands = 3;
  const TempFolder base("kalvor-deep");
  fs::path deep = base.Path();
  // As deep as a host folder can be with the program still startable.
  while (deep.string().size() < 200) deep /= std::string(40, 'd');
  deep /= std::string(240 - deep.string().size() - 1, 'e');
  fs::create_directories(LongForm(deep));
  const fs::path host = deep / "DeepHost.exe";
  fs::copy_file(LongForm(ThisProgramPath()), LongForm(host));
  const int exitCode = RunProgram(
      host.string(), std::string(LogWriterSwitch) + " " + std::to_string(Commands), 120s);

  // The hourly files this program's own log would have, moved into the deep folder.
  const std::string ownFolder = fs::path(ThisProgramPath()).parent_path().string();
  std::string text;
  for (const auto& candidate : HourlyLogCandidates("Kalvor.dll"))
    text += ReadLong(deep.string() + candidate.substr(ownFolder.size()));
  std::error_code ignored;
  fs::remove_all(LongForm(base.Path()), ignored);
  EXPECT_EQ(exitCode, 0);
  const auto counts = CountLines(text);
  EXPECT_EQ(counts.Completed, static_cast<size_t>(LogWriterCopies * Commands)) << text;
}
