// Kalvor.dll as a Windows host sees it: loaded with LoadLibrary, called through
// its four exports in their calling convention, answering on its own thread.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "WindowsHost.h"
#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/TaggedCommands.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
constexpr auto Patience = 60s;

std::vector<std::string> CrLfLines(const std::string& text) {
  return SplitLogLines(text, false);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}
}  // namespace

// A copy without an ini: the plugin writes one with the Windows defaults and,
// its status an error, tries no connection. The name follows the file name.
TEST(PluginBoundary, NameRuleIniDefaultsHourlyLogAndFinalize) {
  const std::pair<std::string, std::string> copies[] = {{"Kalvor.dll", "DYNAMIC_MENU"},
                                                        {"Kalvor_North.dll", "DYNAMIC_MENU_North"}};
  for (const auto& [fileName, name] : copies) {
    SCOPED_TRACE(fileName);
    PluginCopy plugin(fileName);
    LogTail log(HostLogsFolder());
    tPluginHost host(plugin.LibraryPath());
    EXPECT_STREQ(host.GetName(), name.c_str());
    EXPECT_EQ(host.Init(), name);
    auto command = TaggedCommand(1);
    ASSERT_EQ(host.Command(5, command), 0);
    auto answer = host.WaitAnswer(Patience);
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(answer->Name, name);
    host.Finalize();
    EXPECT_EQ(host.Command(5, command), 1);

    EXPECT_EQ(
        CrLfLines(ReadWholeFile(plugin.IniPath())),
        (std::vector<std::string>{"[Main]", "DBName=127.0.0.1:c:\\bases\\vo.fdb", "DBUser=SYSDBA",
                                  "DBPWD=orchardly", "lc_ctype=WIN1251", "LogLevel=255"}));
    const std::string text = log.MainText();
    EXPECT_TRUE(Contains(text, "Missing config file \"" + plugin.IniPath() + "\" - Status_Error"))
        << text;
    EXPECT_TRUE(
        Contains(text, "=====   Finalize PlugIn Worker Object(" + name + ")   =====\r\n\r\n\r\n"))
        << text;
    bool found = false;
    for (const auto& candidate : HourlyLogCandidates(fileName))
      found = found || Contains(ReadWholeFile(candidate), "<--Operation was complete [");
    EXPECT_TRUE(found) << "no hourly log " << HourlyLogCandidates(fileName).front();
  }
}

TEST(PluginBoundary, QueueOrderFromSeveralThreadsEnvelopeAndRefusals) {
  PluginCopy plugin("Kalvor.dll");
  tPluginHost host(plugin.LibraryPath());
  auto command = TaggedCommand(1);
  EXPECT_EQ(host.Command(1, command), 1);
  host.Init();

  EXPECT_EQ(host.Command(1, nullptr, 20), 3);
  EXPECT_EQ(host.Command(1, command.data(), 3), 3);
  EXPECT_EQ(host.Command(1, command.data(), 19), 3);

  ASSERT_TRUE(QueueTaggedFromThreads(host, 4, 50));
  auto fifteen = MakeCommand(15, 7, 15);
  ASSERT_EQ(host.Command(2, fifteen), 0);
  // A host passing its whole receive buffer's length: only the size word's
  // 24 bytes are read, neither the 2 GB nor past the block.
  auto received = MakeCommand(24, 7, 24);
  ASSERT_EQ(host.Command(3, received.data(), 0x7FFFFFFF), 0);

  auto answers = host.WaitAnswers(202, Patience);
  ASSERT_EQ(answers.size(), 202u);
  std::set<std::thread::id> threads;
  for (uint32_t i = 0; i < 200; ++i) {
    EXPECT_EQ(WordAt(answers[i].Buffer, 16), i);
    EXPECT_EQ(answers[i].CommandId, static_cast<int32_t>(i) + 1000);
    EXPECT_EQ(answers[i].UserValue, reinterpret_cast<intptr_t>(&host));
    EXPECT_EQ(answers[i].Size, 20);
    EXPECT_EQ(SignedWordAt(answers[i].Buffer, 8), 1);
    EXPECT_EQ(SignedWordAt(answers[i].Buffer, 12), 3);
    threads.insert(answers[i].Thread);
  }
  EXPECT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
  EXPECT_EQ(answers[200].Size, 15);
  EXPECT_EQ(SignedWordAt(answers[200].Buffer, 8), 1);
  EXPECT_EQ(SignedWordAt(answers[200].Buffer, 12), 2);
  EXPECT_EQ(answers[201].Size, 24);
  EXPECT_EQ(SignedWordAt(answers[201].Buffer, 12), 3);
  host.Finalize();
}

// Host threads that go on sending while the callback, or another host thread,
// calls Finalize_Plugin are turned away with 1: none is left waiting on the
// lock of a session already freed.
TEST(PluginBoundary, HostThreadsSendingWhileFinalizeRunsAreNeverStuck) {
  PluginCopy plugin("Kalvor.dll");
  plugin.WriteIni("[Main]\r\nLogLevel=1\r\n");
  tPluginHost host(plugin.LibraryPath());
  EXPECT_EQ(RunsWithSendersStuckInFinalize(host, tFinalizeFrom::Callback, 50, 16), 0);
  EXPECT_EQ(RunsWithSendersStuckInFinalize(host, tFinalizeFrom::HostThread, 50, 16), 0);
}
