// The plugin boundary as a host sees it: the built library loaded with dlopen.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "support/CommandBuffers.h"
#include "support/FileSizeLimit.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/StatusSocketClient.h"
#include "support/TaggedCommands.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
constexpr auto Patience = 10s;

// The name one command is answered under, or an empty text when no answer comes.
std::string AnsweringName(tPluginHost& host) {
  auto command = TaggedCommand(1);
  if (host.Command(1, command) != 0) return {};
  auto answer = host.WaitAnswer(Patience);
  return answer ? answer->Name : std::string();
}

class SessionTest : public ::testing::Test {
 protected:
  PluginCopy Plugin;
  std::unique_ptr<tPluginHost> Host = std::make_unique<tPluginHost>(Plugin.LibraryPath());
};
}  // namespace

TEST_F(SessionTest, ReportsTheNameWithoutSessionAndRefusesCommandsBeforeInitAndAfterFinalize) {
  EXPECT_STREQ(Host->GetName(), "DYNAMIC_MENU");
  auto command = TaggedCommand(1);
  EXPECT_EQ(Host->Command(1, command), 1);
  Host->Init();
  const char* name = Host->GetName();
  Host->Finalize();
  EXPECT_EQ(Host->Command(1, command), 1);
  Host->Finalize();
  EXPECT_EQ(Host->GetName(), name);
  EXPECT_FALSE(Host->WaitAnswer(100ms).has_value());
}

TEST_F(SessionTest, AnswersInQueueOrderOnOneThreadThatIsNotTheCallers) {
  EXPECT_EQ(Host->Init(), "DYNAMIC_MENU");
  ASSERT_TRUE(QueueTaggedFromThreads(*Host, 4, 50));

  auto answers = Host->WaitAnswers(200, Patience);
  ASSERT_EQ(answers.size(), 200u);
  std::set<std::thread::id> threads;
  for (uint32_t i = 0; i < answers.size(); ++i) {
    EXPECT_EQ(WordAt(answers[i].Buffer, 16), i);
    EXPECT_EQ(answers[i].CommandId, static_cast<int32_t>(i) + 1000);
    EXPECT_EQ(answers[i].Name, "DYNAMIC_MENU");
    EXPECT_EQ(answers[i].UserValue, reinterpret_cast<intptr_t>(Host.get()));
    EXPECT_EQ(answers[i].Size, 20);
    threads.insert(answers[i].Thread);
  }
  EXPECT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
  Host->Finalize();
}

TEST_F(SessionTest, RefusesBuffersThatCannotBeAnsweredInsideThemselves) {
  Host->Init();
  auto command = TaggedCommand(1);
  EXPECT_EQ(Host->Command(1, nullptr, 20), 3);
  EXPECT_EQ(Host->Command(1, command.data(), 3), 3);
  EXPECT_EQ(Host->Command(1, command.data(), -5), 3);
  EXPECT_EQ(Host->Command(1, command.data(), 19), 3);
  PutWord(command, 0, 0xFFFFFFFFu);
  EXPECT_EQ(Host->Command(1, command.data(), 20), 3);
  EXPECT_FALSE(Host->WaitAnswer(200ms).has_value());
  Host->Finalize();
}

TEST_F(SessionTest, ShortEnvelopesAreAnsweredAsTooSmallInsideTheCopy) {
  Host->Init();
  auto tiny = MakeCommand(4, 7, 4);
  auto fifteen = MakeCommand(15, 7, 15);
  auto sixteen = MakeCommand(16, 7);
  ASSERT_EQ(Host->Command(1, tiny), 0);
  ASSERT_EQ(Host->Command(2, fifteen), 0);
  ASSERT_EQ(Host->Command(3, sixteen), 0);
  auto answers = Host->WaitAnswers(3, Patience);
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].Size, 4);
  EXPECT_EQ(answers[1].Size, 15);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(WordAt(answers[i].Buffer, 8), 1u);
    EXPECT_EQ(WordAt(answers[i].Buffer, 12), 2u);
  }
  EXPECT_EQ(WordAt(answers[1].Buffer, 4), 7u);
  // The short buffers are handed back with their own size word; a size of 16 reaches the worker.
  EXPECT_EQ(answers[2].Size, 16);
  EXPECT_FALSE(WordAt(answers[2].Buffer, 8) == 1 && WordAt(answers[2].Buffer, 12) == 2);
  Host->Finalize();
}

TEST_F(SessionTest, SecondInitKeepsTheFirstCallbackAndName) {
  char* first = Host->InitWith(&tPluginHost::CollectAnswer, reinterpret_cast<intptr_t>(Host.get()));
  static std::atomic<int> strayCalls{0};
  char* second =
      Host->InitWith([](int32_t, const char*, void*, int32_t, intptr_t) { strayCalls++; }, 42);
  EXPECT_EQ(first, second);
  auto command = TaggedCommand(5);
  ASSERT_EQ(Host->Command(9, command), 0);
  auto answer = Host->WaitAnswer(Patience);
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->UserValue, reinterpret_cast<intptr_t>(Host.get()));
  EXPECT_EQ(strayCalls.load(), 0);
  Host->Finalize();
}

TEST_F(SessionTest, NullCallbackStillRunsCommands) {
  LogTail log(HostLogsFolder());
  Host->InitWith(nullptr, 0);
  auto command = TaggedCommand(1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Host->Command(i, command), 0);
  // Finalize would drop what is still queued: wait until the three are done.
  auto finished = [&] {
    size_t count = 0;
    for (const auto& line : log.MainMessages())
      if (line.rfind("<--Operation was complete [", 0) == 0) ++count;
    return count;
  };
  const auto deadline = std::chrono::steady_clock::now() + Patience;
  while (finished() < 3 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(finished(), 3u);
  Host->Finalize();
  const auto lines = log.MainMessages();
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "Init_Plugin was given no callback: commands are run and logged, and their "
                       "answers discarded"),
            1);
}

TEST_F(SessionTest, ThrowingCallbackDoesNotStopLaterAnswers) {
  static std::atomic<int> calls{0};
  Host->InitWith(
      [](int32_t, const char*, void*, int32_t, intptr_t) {
        if (calls++ == 0) throw std::runtime_error("host failure");
      },
      0);
  auto command = TaggedCommand(1);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(Host->Command(i, command), 0);
  const auto deadline = std::chrono::steady_clock::now() + Patience;
  while (calls.load() < 3 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(calls.load(), 3);
  Host->Finalize();
}

namespace {
// Holds the session thread inside the first callback until released.
struct BlockingCallback {
  static inline std::mutex Lock;
  static inline std::condition_variable Changed;
  static inline bool Released = false;
  static inline int Calls = 0;

  static void Call(int32_t, const char*, void*, int32_t, intptr_t) {
    std::unique_lock<std::mutex> guard(Lock);
    ++Calls;
    Changed.notify_all();
    Changed.wait(guard, [] { return Released; });
  }
};
}  // namespace

TEST_F(SessionTest, FinalizeFinishesTheCommandInProgressAndDropsTheQueue) {
  LogTail log(HostLogsFolder());
  Host->InitWith(&BlockingCallback::Call, 0);
  auto command = TaggedCommand(1);
  ASSERT_EQ(Host->Command(0, command), 0);
  {
    std::unique_lock<std::mutex> guard(BlockingCallback::Lock);
    ASSERT_TRUE(BlockingCallback::Changed.wait_for(guard, Patience,
                                                   [] { return BlockingCallback::Calls == 1; }));
  }
  for (int i = 1; i <= 10; ++i) ASSERT_EQ(Host->Command(i, command), 0);

  std::thread finalizer([&] { Host->Finalize(); });
  // Finalize has begun once new commands are turned away; the worker's banner
  // follows only when the callback in progress has returned.
  const auto deadline = std::chrono::steady_clock::now() + Patience;
  while (Host->Command(99, command) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(log.MainText().find("Finalize PlugIn Worker Object"), std::string::npos);
  {
    std::lock_guard<std::mutex> guard(BlockingCallback::Lock);
    BlockingCallback::Released = true;
  }
  BlockingCallback::Changed.notify_all();
  finalizer.join();
  EXPECT_EQ(BlockingCallback::Calls, 1);
  EXPECT_NE(log.MainText().find("Finalize PlugIn Worker Object"), std::string::npos);
}

namespace {
// Records each answer's result code; the first call returns only when released.
struct HeldFirstCallback {
  std::mutex Lock;
  std::condition_variable Changed;
  bool Released = false;
  std::vector<int32_t> ResultCodes;

  static void Call(int32_t, const char*, void* buffer, int32_t, intptr_t self) {
    auto& held = *reinterpret_cast<HeldFirstCallback*>(self);
    std::unique_lock<std::mutex> guard(held.Lock);
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    held.ResultCodes.push_back(SignedWordAt({bytes, bytes + 16}, 12));
    held.Changed.notify_all();
    held.Changed.wait(guard, [&] { return held.Released; });
  }
};
}  // namespace

// Commands still queued at CommandDeadline (here behind a host's callback
// that keeps the session thread for 1.5 s) are answered with result code 1
// and one line each as soon as the session gets to them, in their turn, and
// are never run. The server refuses from Init_Plugin on, so they fail in an
// outage, and count among its failed commands.
TEST(SessionDeadline, ACommandQueuedPastItsDeadlineIsAnsweredAtOnceAndNeverRun) {
  PluginCopy plugin;
  plugin.WriteIni(
      "[Main]\nDBName=127.0.0.1/1:/nowhere.fdb\nDBUser=SYSDBA\nDBPWD=x\nLogLevel=1\n"
      "CommandDeadline=1\nStatusChannel=1\n");
  LogTail log(HostLogsFolder());
  tPluginHost host(plugin.LibraryPath());
  HeldFirstCallback held;
  host.InitWith(&HeldFirstCallback::Call, reinterpret_cast<intptr_t>(&held));
  for (uint32_t tag = 0; tag < 4; ++tag) ASSERT_EQ(host.Command(1, TaggedCommand(tag)), 0);
  std::this_thread::sleep_for(1500ms);
  const auto released = std::chrono::steady_clock::now();
  {
    std::unique_lock<std::mutex> guard(held.Lock);
    held.Released = true;
    held.Changed.notify_all();
    EXPECT_TRUE(held.Changed.wait_for(guard, Patience, [&] { return held.ResultCodes.size() == 4; }));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - released, 500ms);
  std::smatch socket;
  const std::string opened = log.MainText();
  ASSERT_TRUE(std::regex_search(opened, socket, std::regex("Status channel open at (\\S+) \\(")))
      << opened;
  const std::string status = StatusSocketClient(socket[1]).Ask("status\n");
  EXPECT_NE(status.find(", 3 commands failed since: "), std::string::npos) << status;
  host.Finalize();
  EXPECT_EQ(held.ResultCodes, (std::vector<int32_t>{3, 1, 1, 1}));
  const auto lines = log.MainMessages();
  const std::regex expired(
      "Command 7 not run: it waited 1[0-9]{3} ms in the queue, past CommandDeadline=1 s; answered "
      "with result code 1");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [&](const std::string& line) { return std::regex_match(line, expired); }),
            3)
      << log.MainText();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "--New Operation was complete started-->"), 1);
}

TEST_F(SessionTest, UnloadingWithoutFinalizeStopsTheSessionWithoutTheWorkersFinalize) {
  LogTail log(HostLogsFolder());
  Host->Init();
  auto command = TaggedCommand(1);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(Host->Command(i, command), 0);
  Host->Unload();
  EXPECT_EQ(log.MainText().find("Finalize PlugIn Worker Object"), std::string::npos);
  // A fresh load of the same file starts from nothing.
  tPluginHost again(Plugin.LibraryPath());
  EXPECT_EQ(again.Command(1, command), 1);
}

TEST(SessionNames, CopiesUnderAnotherFileNameReportTheirOwnName) {
  PluginCopy north("Kalvor_North.so");
  tPluginHost host(north.LibraryPath());
  EXPECT_EQ(host.Init(), "DYNAMIC_MENU_North");
  EXPECT_EQ(AnsweringName(host), "DYNAMIC_MENU_North");
  host.Finalize();
}

TEST(SessionNames, FailedInitialisationAnswersAsAbstractPlugIn) {
  PluginCopy plugin;
  // A folder where the ini file should be: it can be neither read nor written.
  std::filesystem::create_directory(plugin.IniPath());
  LogTail log(HostLogsFolder());
  tPluginHost host(plugin.LibraryPath());
  EXPECT_EQ(host.Init(), "DYNAMIC_MENU");
  EXPECT_EQ(AnsweringName(host), "Abstract PlugIn");
  host.Finalize();
  const auto lines = log.MainMessages();
  EXPECT_EQ(std::count(lines.begin(), lines.end(),
                       "cannot read " + plugin.IniPath() + ": Is a directory"),
            1);
}

TEST(SessionConfig, MissingIniIsWrittenWithTheDefaultKeysInOrder) {
  PluginCopy plugin;
  tPluginHost host(plugin.LibraryPath());
  host.Init();
  host.Finalize();
  const std::string ini = ReadWholeFile(plugin.IniPath());
  const char* keys[] = {
      "[Main]",        "DBName", "DBUser = SYSDBA", "DBPWD = orchardly", "lc_ctype = WIN1251",
      "LogLevel = 255"};
  size_t position = 0;
  for (const char* key : keys) {
    const size_t found = ini.find(key, position);
    ASSERT_NE(found, std::string::npos) << key << " in\n" << ini;
    position = found;
  }
}

// An ini saved as UTF-8, with or without a byte order mark before [Main]: its
// values are taken in the connection's character set, the database name
// "база" in Windows-1251 (here where the log shows it: a user is missing), and
// the log says how the file was read.
TEST(SessionConfig, AUtf8IniIsReadAsSuchAndItsValuesTakenInWindows1251) {
  const std::string lines =
      "[Main]\nDBName=localhost:/nonexistent/\xD0\xB1\xD0\xB0\xD0\xB7\xD0\xB0.fdb\n"
      "LogLevel=1\n";
  for (const auto& [mark, encoding] :
       {std::pair<std::string, std::string>{"", "without"}, {"\xEF\xBB\xBF", "with"}}) {
    SCOPED_TRACE(encoding);
    PluginCopy plugin;
    plugin.WriteIni(mark + lines);
    LogTail log(HostLogsFolder());
    tPluginHost host(plugin.LibraryPath());
    host.Init();
    host.Finalize();
    const std::string text = log.MainText();
    EXPECT_NE(text.find("DBName=\"localhost:/nonexistent/\xE1\xE0\xE7\xE0.fdb\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Kalvor.ini is UTF-8 " + encoding +
                        " a byte order mark: values are converted to WIN1251 (lc_ctype)"),
              std::string::npos);
  }
}

TEST(SessionLog, EveryLineLandsInTheHourlyFileAndAgainInTheFullFileAtLevel255) {
  PluginCopy plugin;
  plugin.WriteIni("[Main]\nLogLevel=255\n");
  LogTail log(HostLogsFolder());
  tPluginHost host(plugin.LibraryPath());
  host.Init();
  auto command = TaggedCommand(1);
  for (int i = 0; i < 2; ++i) ASSERT_EQ(host.Command(i, command), 0);
  ASSERT_EQ(host.WaitAnswers(2, Patience).size(), 2u);
  host.Finalize();

  const auto main = log.MainMessages();
  const auto full = SplitLogLines(log.PrefixedText("full"), true);
  auto count = [](const std::vector<std::string>& lines, const std::string& start) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.rfind(start, 0) == 0; });
  };
  EXPECT_EQ(count(main, "=====   Initialize Plugin Worker Object (DYNAMIC_MENU)   ====="), 1);
  EXPECT_EQ(count(main, "--New Operation was complete started-->"), 2);
  EXPECT_EQ(count(main, "<--Operation was complete ["), 2);
  EXPECT_EQ(count(main, "=====   Finalize PlugIn Worker Object(DYNAMIC_MENU)   ====="), 1);
  // Lines written before LogLevel was read have no detailed copy.
  // The detailed copy is the line itself, with no empty tail.
  EXPECT_EQ(std::count(full.begin(), full.end(), "--New Operation was complete started-->"), 2);
  EXPECT_EQ(std::count(full.begin(), full.end(), "Set LogLevel=255"), 1);
  EXPECT_EQ(count(full, "=====   Initialize Plugin Worker Object"), 0);
  const std::regex finished("<--Operation was complete \\[[0-9]+\\]--");
  EXPECT_EQ(
      std::count_if(full.begin(), full.end(),
                    [&](const std::string& line) { return std::regex_match(line, finished); }),
      2);
}

// The disk is full for a while: the plugin answers every command on time,
// lines wait in memory and follow in order, those beyond the bound are
// counted in the gap line the file takes first, and the same count is in the
// figures line.
TEST(SessionLog, LinesTheFullDiskRefusesWaitAndTheLostOnesAreCounted) {
  constexpr int Commands = 9000;
  constexpr int Batch = 500;
  PluginCopy plugin;
  plugin.WriteIni("[Main]\nLogLevel=1\n");
  LogTail log(HostLogsFolder());
  tPluginHost host(plugin.LibraryPath());
  host.Init();
  {
    const FileSizeLimit full(0);
    for (int sent = 0; sent < Commands; sent += Batch) {
      for (int i = 0; i < Batch; ++i) ASSERT_EQ(host.Command(sent + i, TaggedCommand(i)), 0);
      ASSERT_EQ(host.WaitAnswers(Batch, Patience).size(), static_cast<size_t>(Batch));
    }
  }
  host.Finalize();

  const auto lines = log.MainMessages();
  const std::regex gap(
      "Log gap: ([0-9]+) lines could not be written since [-0-9:. ]+: cannot "
      "write .*_Kalvor.so.log: File too large");
  const std::regex figures("Figures of .*; log lines lost=([0-9]+)");
  std::smatch found;
  long lost = -1, counted = -1, operations = 0;
  for (const auto& line : lines) {
    if (std::regex_match(line, found, gap)) lost = std::stol(found[1]);
    if (std::regex_match(line, found, figures)) counted = std::stol(found[1]);
    operations += line == "--New Operation was complete started-->" ||
                  line.rfind("Command 7, size word 20: unknown command", 0) == 0 ||
                  line.rfind("<--Operation was complete [", 0) == 0;
  }
  EXPECT_GT(lost, 0);
  EXPECT_EQ(counted, lost);
  EXPECT_EQ(operations + lost, 3 * Commands);
}

namespace {
size_t ThreadCount() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<size_t>(std::distance(begin(tasks), end(tasks)));
}
}  // namespace

// The log server's client library stops returning at the line of a refused
// command: Command_Plugin hands its lines to the session thread and returns at
// once, Finalize_Plugin waits for the library 2 s at most, and the lines it did
// not take are in the hourly file.
TEST(SessionLog, ALogClientThatDoesNotReturnHoldsNoHostThread) {
  TempFolder record;
  const std::string calls = record / "calls.txt";
  WriteWholeFile(calls + ".block", "");
  setenv("KALVOR_LOGCLIENT_RECORD", calls.c_str(), 1);
  setenv("KALVOR_LOGCLIENT_BLOCK_ON", "Command refused", 1);
  PluginCopy plugin("Kalvor_Blocked.so");
  std::filesystem::copy_file(
      std::string(KALVOR_LOGCLIENT_DIR) + "/blocks_marked/LogClient.so",
      std::filesystem::path(plugin.LibraryPath()).parent_path() / "LogClient.so");
  const auto hostIni = std::filesystem::read_symlink("/proc/self/exe").replace_extension(".ini");
  WriteWholeFile(hostIni, "[Debug]\nKalvor_Blocked.so=server\n");
  LogTail log(HostLogsFolder());
  tPluginHost host(plugin.LibraryPath());
  host.Init();
  std::filesystem::remove(hostIni);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(host.Command(1, nullptr, 0), 3);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  EXPECT_EQ(host.Command(2, TaggedCommand(2)), 0);
  EXPECT_TRUE(host.WaitAnswer(Patience));
  started = std::chrono::steady_clock::now();
  host.Finalize();
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  // The call left behind returns, and its thread ends while the host still
  // holds the plugin: the host's unload stays the last.
  const size_t withLeftBehind = ThreadCount();
  std::filesystem::remove(calls + ".block");
  for (auto waited = 0ms; waited < 10s && ThreadCount() == withLeftBehind; waited += 10ms)
    std::this_thread::sleep_for(10ms);
  EXPECT_EQ(ThreadCount(), withLeftBehind - 1);
  unsetenv("KALVOR_LOGCLIENT_BLOCK_ON");
  unsetenv("KALVOR_LOGCLIENT_RECORD");

  const auto lines = log.MainMessages();
  for (const std::string line :
       {"LogClient.so did not return from DLL_MessageToLogServer within 2 s: the log client is "
        "called no more, lines go to this file",
        "Command refused: null buffer (CommandId=1): refusing such commands"})
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
}
