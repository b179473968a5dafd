// The hourly file as Windows shares it: two host processes, each with two
// copies of the plugin under one file name, write at full speed while a log
// viewer holds the file open; meanwhile a host in a folder so deep that its
// log's path passes MAX_PATH writes its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "WindowsHost.h"
#include "log/uLogVocabulary.h"
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

// One command every IntervalMs for the seconds given, each answer's wait from
// Command_Plugin to its callback measured; prints the 99th percentile and the
// longest. Returns how many went unanswered.
int PlayPacedWriter(int seconds) {
  constexpr int IntervalMs = 20;
  const int commands = seconds * 1000 / IntervalMs;
  const PluginCopy copy("Kalvor.dll");
  tPluginHost host(copy.LibraryPath());
  host.Init();
  std::vector<std::chrono::steady_clock::time_point> sent(static_cast<size_t>(commands));
  for (int tag = 0; tag < commands; ++tag) {
    sent[static_cast<size_t>(tag)] = std::chrono::steady_clock::now();
    host.Command(tag, TaggedCommand(static_cast<uint32_t>(tag)));
    Sleep(IntervalMs);
  }
  std::vector<double> waits;
  for (const auto& answer : host.WaitAnswers(static_cast<size_t>(commands), 60s))
    waits.push_back(std::chrono::duration<double, std::milli>(
                        answer.At - sent[static_cast<size_t>(answer.CommandId)])
                        .count());
  host.Finalize();
  std::sort(waits.begin(), waits.end());
  if (!waits.empty())
    std::printf("paced writer: %zu of %d answered, p99 %.1f ms, longest %.1f ms\n", waits.size(),
                commands, waits[waits.size() * 99 / 100], waits.back());
  return commands - static_cast<int>(waits.size());
}

namespace {
// A log viewer that shares no writing holds the file for a while in every
// period, until the time is up.
void HoldLikeAViewer(const std::string& file, std::chrono::milliseconds held,
                     std::chrono::milliseconds period, std::chrono::milliseconds lasting) {
  const auto end = std::chrono::steady_clock::now() + lasting;
  while (std::chrono::steady_clock::now() < end) {
    const HANDLE viewer =
        CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    Sleep(static_cast<DWORD>(held.count()));
    CloseHandle(viewer);
    Sleep(static_cast<DWORD>((period - held).count()));
  }
}

// Whole lines: a torn or merged one would break these counts.
void ExpectOperationLines(const std::string& text, size_t commands) {
  size_t started = 0, completed = 0, mentions = 0;
  for (const auto& line : SplitLogLines(text, true)) {
    started += line == FrameStartLine;
    completed += line.rfind(FrameEndOpening, 0) == 0 && line.back() == '-';
    for (size_t at = line.find("Operation"); at != std::string::npos;
         at = line.find("Operation", at + 1))
      ++mentions;
  }
  EXPECT_EQ(started, commands);
  EXPECT_EQ(completed, commands);
  EXPECT_EQ(mentions, 2 * commands);
}

// The three lines of each command routed nowhere.
size_t CommandLines(const std::string& text) {
  size_t lines = 0;
  for (const auto& line : SplitLogLines(text, true))
    lines += line == FrameStartLine ||
             line.rfind("Command 7, size word 20: unknown command", 0) == 0 ||
             line.rfind(FrameEndOpening, 0) == 0;
  return lines;
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

// A viewer that shares no writing holds the hourly file 2 s in every 3 s
// beside two paced hosts: lines wait in memory and follow in order once it
// lets go, none is lost, and no answer waits for the file (the hosts print
// their answers' 99th percentile).
TEST(LogFileSharing, AViewerThatSharesNoWritingCostsNoLineAndNoAnswerTime) {
  constexpr int Seconds = 10;
  const std::string hourly = HourlyLogCandidates("Kalvor.dll").front();
  fs::create_directories(fs::path(hourly).parent_path());
  const LogTail log(HostLogsFolder());
  std::thread viewer(HoldLikeAViewer, hourly, 2000ms, 3000ms, 9000ms);
  const std::string arguments = std::string(PacedWriterSwitch) + " " + std::to_string(Seconds);
  auto first = std::async(std::launch::async, [&] { return RunThisProgram(arguments, 120s); });
  EXPECT_EQ(RunThisProgram(arguments, 120s), 0);
  EXPECT_EQ(first.get(), 0);
  viewer.join();
  EXPECT_EQ(CommandLines(log.MainText()), 2u * 3 * Seconds * 1000 / 20);
  EXPECT_EQ(Occurrences(log.MainText(), "Log gap"), 0u);
}

// LogKeepDays=1: old day folders go at Init_Plugin, but a file a viewer holds
// open without sharing its deletion is not waited for: it and its folder stay
// until a later pass finds it free.
TEST(LogRetention, AFileAViewerHoldsStaysWithItsFolderUntilLetGo) {
  const fs::path logs = fs::path(HostLogsFolder());
  const fs::path held = logs / "2001_01_02" / "09_Kalvor.dll.log";
  for (const fs::path& file : {logs / "2001_01_01" / "09_Kalvor.dll.log", held,
                               logs / "2001_01_02" / "full_09_Kalvor.dll.log"}) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "old\r\n";
  }
  HANDLE viewer =
      CreateFileW(held.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  PluginCopy plugin("Kalvor.dll");
  plugin.WriteIni(ServerIni() + "LogKeepDays=1\r\n");
  LogTail log(HostLogsFolder());
  auto host = std::make_unique<tPluginHost>(plugin.LibraryPath());
  host->Init();
  EXPECT_FALSE(fs::exists(logs / "2001_01_01"));
  EXPECT_TRUE(fs::exists(held));
  EXPECT_FALSE(fs::exists(logs / "2001_01_02" / "full_09_Kalvor.dll.log"));
  EXPECT_NE(log.MainText().find("; kept 2001_01_02 (09_Kalvor.dll.log: in use by another process)"),
            std::string::npos)
      << log.MainText();
  host->Finalize();
  CloseHandle(viewer);
  host->Init();
  EXPECT_FALSE(fs::exists(logs / "2001_01_02"));
  host->Finalize();
}
