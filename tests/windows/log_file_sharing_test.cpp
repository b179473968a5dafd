// The hourly file as Windows shares it: two host processes, each with two
// copies of the plugin under one file name, write at full speed while a log
// viewer holds the file open; meanwhile a host in a folder so deep that its
// log's path passes MAX_PATH writes its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <string>

#include "WindowsHost.h"
#include "support/LogTail.h"
#include "support/TaggedCommands.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int PlayLogWriter(int commandsPerCopy) {
  const PluginCopy copies[] = {PluginCopy("Kalvor.dll"), PluginCopy("Kalvor.dll")};
  std::unique_ptr<tPluginHost> hosts[2];
  for (int i = 0; i < 2; ++i) {
    hosts[i] = std::make_unique<tPluginHost>(copies[i].LibraryPath());
    hosts[i]->Init();
  }
  for (int tag = 0; tag < commandsPerCopy; ++tag)
    for (auto& host : hosts) host->Command(7, TaggedCommand(static_cast<uint32_t>(tag)));
  int unanswered = 0;
  for (auto& host : hosts) {
    unanswered +=
        commandsPerCopy - static_cast<int>(host->WaitAnswers(commandsPerCopy, 300s).size());
    host->Finalize();
  }
  return unanswered;
}

namespace {
// Whole lines: a torn or merged one would break these counts.
void ExpectOperationLines(const std::string& text, size_t commands) {
  size_t started = 0, completed = 0, mentions = 0;
  for (const auto& line : SplitLogLines(text, true)) {
    started += line == "--New Operation was complete started-->";
    completed += line.rfind("<--Operation was complete [", 0) == 0 && line.back() == '-';
    for (size_t at = line.find("Operation"); at != std::string::npos;
         at = line.find("Operation", at + 1))
      ++mentions;
  }
  EXPECT_EQ(started, commands);
  EXPECT_EQ(completed, commands);
  EXPECT_EQ(mentions, 2 * commands);
}

std::wstring LongForm(const fs::path& path) {
  return L"\\\\?\\" + path.wstring();
}

std::string ReadLong(const fs::path& path) {
  std::ifstream in(fs::path(LongForm(path)), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
}  // namespace

TEST(LogFileSharing, WritersAndAViewerLoseNoLineAndADeepHostFolderGetsItsLog) {
  constexpr int Commands = 300;
  const std::string arguments = std::string(LogWriterSwitch) + " " + std::to_string(Commands);
  // As deep as a host folder can be with its program still startable.
  const TempFolder base("kalvor-deep");
  fs::path deep = base.Path();
  while (deep.string().size() < 200) deep /= std::string(40, 'd');
  deep /= std::string(240 - deep.string().size() - 1, 'e');
  fs::create_directories(LongForm(deep));
  fs::copy_file(ThisProgramPath(), LongForm(deep / "DeepHost.exe"));

  const std::string hourly = HourlyLogCandidates("Kalvor.dll").front();
  fs::create_directories(fs::path(hourly).parent_path());
  const LogTail log(HostLogsFolder());
  const HANDLE viewer =
      CreateFileA(hourly.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, 0, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  auto first = std::async(std::launch::async, [&] { return RunThisProgram(arguments, 300s); });
  auto deepHost = std::async(std::launch::async, [&] {
    return RunProgram((deep / "DeepHost.exe").string(), arguments, 300s);
  });
  EXPECT_EQ(RunThisProgram(arguments, 300s), 0);
  EXPECT_EQ(first.get(), 0);
  EXPECT_EQ(deepHost.get(), 0);
  CloseHandle(viewer);
  ExpectOperationLines(log.MainText(), 2 * 2 * Commands);

  const std::string ownFolder = fs::path(ThisProgramPath()).parent_path().string();
  std::string deepText;
  for (const auto& candidate : HourlyLogCandidates("Kalvor.dll"))
    deepText += ReadLong(deep.string() + candidate.substr(ownFolder.size()));
  ExpectOperationLines(deepText, 2 * Commands);
  std::error_code ignored;
  fs::remove_all(LongForm(base.Path()), ignored);
}
