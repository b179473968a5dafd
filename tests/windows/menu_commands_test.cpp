// Commands 100, 101 and 102 through the client library on Windows: a stand-in
// fbclient.dll beside the plugin answers the menu procedures and fails on
// demand; without any client library the plugin still loads and answers.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "StandInControl.h"
#include "WindowsHost.h"
#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
constexpr auto Patience = 60s;

struct tEnvelope {
  int32_t Outcome;
  int32_t ResultCode;
  friend bool operator==(const tEnvelope&, const tEnvelope&) = default;
};

tEnvelope EnvelopeOf(const tAnswer& answer) {
  return {SignedWordAt(answer.Buffer, 8), SignedWordAt(answer.Buffer, 12)};
}

size_t CountLines(const std::vector<std::string>& lines, const std::string& text) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), text));
}

bool HasLineEndingWith(const std::vector<std::string>& lines, const std::string& end) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return line.size() >= end.size() &&
           line.compare(line.size() - end.size(), end.size(), end) == 0;
  });
}

// A request buffer far longer than its answer: the answer comes back exactly sized.
std::vector<uint8_t> LongItemRequest(int32_t itemId) {
  auto request = ItemDescRequest(itemId);
  request.resize(4096);
  PutWord(request, 0, 4096);
  return request;
}

class MenuHost {
 public:
  explicit MenuHost(const PluginCopy& plugin) : Host(plugin.LibraryPath()) { Host.Init(); }

  tAnswer Ask(const std::vector<uint8_t>& request) {
    EXPECT_EQ(Host.Command(SignedWordAt(request, 4), request), 0);
    auto answer = Host.WaitAnswer(Patience);
    if (!answer) {
      ADD_FAILURE() << "no answer to command " << SignedWordAt(request, 4);
      return {};
    }
    EXPECT_EQ(answer->Buffer.size(), WordAt(answer->Buffer, 0));
    return *answer;
  }

  tPluginHost Host;
};

void ExpectVoiceItem(const std::vector<uint8_t>& b) {
  EXPECT_EQ(SignedWordAt(b, 16), StandIn::VoiceItemId);
  EXPECT_EQ(SignedWordAt(b, 20), 1);
  EXPECT_EQ(TextAt(b, 0, 32), StandIn::Greeting);
  EXPECT_EQ(SignedWordAt(b, 40), StandIn::ConnectionId);
  EXPECT_EQ(TextAt(b, 0, 44), StandIn::MainMenu);
  EXPECT_EQ(TextAt(b, 60, 0), StandIn::Hello);
  EXPECT_EQ(SignedWordAt(b, 68), StandIn::SynthezPlace);
  EXPECT_EQ(SignedWordAt(b, 72), StandIn::Timeout);
  EXPECT_EQ(SignedWordAt(b, 76), 1);  // no repeat count in the database
  EXPECT_EQ(TextAt(b, 60, 20), StandIn::Macro);
  ASSERT_EQ(WordAt(b, 56), 2u);
  uint32_t row = WordAt(b, 52);
  for (const auto& expected : StandIn::Rows) {
    EXPECT_EQ(TextAt(b, row, 4), expected.Key);
    EXPECT_EQ(SignedWordAt(b, row + 12), expected.ItemId);
    EXPECT_EQ(TextAt(b, row, 16), expected.WayDesc);
    row += WordAt(b, row);
  }
  EXPECT_EQ(row, b.size());
}

void ExpectConditionItem(const std::vector<uint8_t>& b) {
  EXPECT_EQ(SignedWordAt(b, 20), 2);
  EXPECT_EQ(WordAt(b, 28), 24 + std::string(StandIn::Processor).size() +
                               std::string(StandIn::ConditionData).size());
  EXPECT_EQ(TextAt(b, 60, 0), StandIn::Processor);
  EXPECT_EQ(TextAt(b, 60, 8), StandIn::ConditionData);
  EXPECT_EQ(TextAt(b, 0, 32), StandIn::CheckHours);
  EXPECT_EQ(SignedWordAt(b, 40), -1);
  EXPECT_EQ(WordAt(b, 52), b.size());
  EXPECT_EQ(WordAt(b, 56), 0u);
}

// Every line of the hourly file: a stamp with the locale's separators, CR LF at the end.
void ExpectWellFormedLines(const std::string& text) {
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  const std::regex stamp("^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\\.[0-9]{3} ");
  for (const auto& line : SplitLogLines(text, false)) {
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    if (!line.empty()) {
      EXPECT_TRUE(std::regex_search(line, stamp)) << line;
    }
  }
}
}  // namespace

// The ini as people write it: names in any case, a value in quotes, which the
// private-profile functions take off.
TEST(StandInClient, CommandsAnswerThroughTheClientLibraryRetryingOnceAfterEachFailure) {
  PluginCopy plugin("Kalvor.dll");
  plugin.WriteIni(
      "[main]\r\ndbname = \"127.0.0.1:c:\\bases\\menu.fdb\"\r\nDBUSER=SYSDBA\r\nDBPWD=x\r\n");
  tStandInClient client(PutStandInClientBeside(plugin));
  LogTail log(HostLogsFolder());
  auto host = std::make_unique<MenuHost>(plugin);
  EXPECT_EQ(client.Attachments(), 1);
  EXPECT_EQ(client.LastDatabaseName(), "127.0.0.1:c:\\bases\\menu.fdb");

  client.FailNextExecution(StandIn::Deadlock);
  const auto start = host->Ask(StartItemRequest(StandIn::MenuId));
  EXPECT_EQ(EnvelopeOf(start), (tEnvelope{0, 0}));
  EXPECT_EQ(SignedWordAt(start.Buffer, 20), StandIn::StartItemId);

  client.FailNextExecution(StandIn::LostConnection);
  const auto voice = host->Ask(LongItemRequest(StandIn::VoiceItemId));
  EXPECT_EQ(EnvelopeOf(voice), (tEnvelope{0, 0}));
  ExpectVoiceItem(voice.Buffer);
  EXPECT_EQ(client.Attachments(), 2);

  // "Да", quotes and a NUL byte: the procedure receives the key's bytes
  // unchanged, in a transaction that commits; the log shows the quotes and the NUL escaped.
  const std::string key("\xc4\xe0 \"1\"\0'2", 9);
  const std::string loggedKey = "\xc4\xe0 \\\"1\\\"\\x00'2";
  client.FailNextExecution(StandIn::Deadlock);
  EXPECT_EQ(EnvelopeOf(host->Ask(ActionRequest(77, StandIn::VoiceItemId, key))), (tEnvelope{0, 0}));
  const auto action = client.LastCommittedAction();
  ASSERT_TRUE(action.has_value());
  EXPECT_EQ(action->SessionId, 77);
  EXPECT_EQ(action->ItemId, StandIn::VoiceItemId);
  EXPECT_EQ(action->Key, key);

  const auto condition = host->Ask(ItemDescRequest(StandIn::ConditionItemId));
  EXPECT_EQ(EnvelopeOf(condition), (tEnvelope{0, 0}));
  ExpectConditionItem(condition.Buffer);
  auto unknownMenu = StartItemRequest(99);
  PutWord(unknownMenu, 20, 0x5A5A5A5Au);
  const auto unknown = host->Ask(unknownMenu);
  EXPECT_EQ(EnvelopeOf(unknown), (tEnvelope{1, 2}));
  EXPECT_EQ(WordAt(unknown.Buffer, 20), 0x5A5A5A5Au);

  host->Host.Finalize();
  const auto lines = log.MainMessages();
  EXPECT_EQ(CountLines(lines, "No database connection!"), 1u);
  EXPECT_TRUE(HasLineEndingWith(
      lines,
      "GetStartMenuItem(MENU_GET_START_ITEM) IN[menu_id=1] OUT[menu_start_itemid=10]- "
      "SUCCESS"));
  EXPECT_EQ(CountLines(lines, "TABLE => [2]"), 1u);
  EXPECT_TRUE(HasLineEndingWith(
      lines, "IN[session_id=77, item_id=10, item_key=\"" + loggedKey + "\"] OUT[]- SUCCESS"));
  EXPECT_EQ(CountLines(lines, "Finalize Close Database connection."), 1u);
  size_t deadlocks = 0, losses = 0;
  for (const auto& line : lines) {
    deadlocks += line.rfind("Pausing before retrying query due to deadlock for ", 0) == 0;
    losses += line.rfind("Pausing before retrying query due to connection loss for ", 0) == 0;
  }
  EXPECT_EQ(deadlocks, 2u);
  EXPECT_EQ(losses, 1u);
  ExpectWellFormedLines(log.MainText());
  host.reset();
}

namespace {
// The system's own words for an error about the client library, as the plugin logs them.
std::string ReasonText(DWORD error) {
  char text[512] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                 text, sizeof text, nullptr);
  std::string reason = std::regex_replace(text, std::regex("%1"), "fbclient.dll");
  return "fbclient.dll: " + reason.substr(0, reason.find_last_not_of("\r\n ") + 1);
}

// Every command fails, and the log names the library and the reason.
void ExpectCommandsToFailFor(MenuHost& host, DWORD error) {
  LogTail log(HostLogsFolder());
  for (const auto& request :
       {StartItemRequest(StandIn::MenuId), ItemDescRequest(StandIn::VoiceItemId),
        ActionRequest(1, StandIn::VoiceItemId, "1")})
    EXPECT_EQ(EnvelopeOf(host.Ask(request)), (tEnvelope{1, 1}));
  host.Host.Finalize();
  const std::string text = log.MainText();
  EXPECT_NE(text.find("Firebird client library not loaded: neither fbclient.dll nor gds32.dll"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(ReasonText(error)), std::string::npos) << text;
  EXPECT_EQ(text.find("Pausing before retrying"), std::string::npos) << text;
}
}  // namespace

// Run in a process of its own: once any fbclient.dll is loaded, a load by
// name would find it. The integrator puts a wrong file beside the plugin, then
// the right one; each Init_Plugin looks again.
TEST(MissingClientLibrary, EveryCommandFailsWithTheReasonUntilTheLibraryIsInPlace) {
  ASSERT_EQ(GetModuleHandleA("fbclient.dll"), nullptr);
  PluginCopy plugin("Kalvor.dll");
  plugin.WriteIni(ServerIni());
  MenuHost host(plugin);
  ExpectCommandsToFailFor(host, ERROR_MOD_NOT_FOUND);

  const auto beside = std::filesystem::path(plugin.LibraryPath()).parent_path() / "fbclient.dll";
  WriteWholeFile(beside.string(), "not a library");
  host.Host.Init();
  ExpectCommandsToFailFor(host, ERROR_BAD_EXE_FORMAT);

  std::filesystem::remove(beside);
  PutStandInClientBeside(plugin);
  host.Host.Init();
  EXPECT_EQ(EnvelopeOf(host.Ask(StartItemRequest(StandIn::MenuId))), (tEnvelope{0, 0}));
  host.Host.Finalize();
}

// Kalvor.ini as Notepad saves it: UTF-8 without or with a byte order mark
// before [Main], or "Unicode" (UTF-16 LE). The client library gets the
// database name and the password in Windows-1251, as the server takes them,
// and the log says how the file was read.
TEST(StandInClient, AnIniSavedByNotepadReachesTheClientInWindows1251) {
  const std::string lines =
      "[Main]\r\nDBName=127.0.0.1:c:\\\xD0\xB1\xD0\xB0\xD0\xB7\xD1\x8B\\m.fdb\r\n"
      "DBUser=SYSDBA\r\nDBPWD=\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C\r\n";
  std::string utf16 = "\xFF\xFE";
  for (const wchar_t c : std::filesystem::path(std::u8string(lines.begin(), lines.end())).wstring())
    utf16 += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  const std::pair<std::string, std::string> files[] = {
      {lines, "UTF-8 without a byte order mark"},
      {"\xEF\xBB\xBF" + lines, "UTF-8 with a byte order mark"},
      {utf16, "UTF-16 little-endian"}};
  for (const auto& [bytes, encoding] : files) {
    SCOPED_TRACE(encoding);
    PluginCopy plugin("Kalvor.dll");
    plugin.WriteIni(bytes);
    tStandInClient client(PutStandInClientBeside(plugin));
    LogTail log(HostLogsFolder());
    MenuHost host(plugin);
    EXPECT_EQ(client.LastDatabaseName(), "127.0.0.1:c:\\\xE1\xE0\xE7\xFB\\m.fdb");
    EXPECT_EQ(client.LastPassword(), "\xCF\xE0\xF0\xEE\xEB\xFC");
    EXPECT_NE(log.MainText().find("Kalvor.ini is " + encoding +
                                  ": values are converted to WIN1251 (lc_ctype)"),
              std::string::npos);
  }
}

// Played from a folder of its own that holds the plugin, its core, the
// stand-in client and the ini: one command answered through the stand-in.
int PlayFolderHost() {
  std::wstring program(32768, L'\0');
  program.resize(GetModuleFileNameW(nullptr, program.data(), 32768));
  const std::u8string folder = std::filesystem::path(program).parent_path().u8string();
  tPluginHost host(std::string(folder.begin(), folder.end()) + "\\Kalvor.dll");
  host.Init();
  host.Command(1, StartItemRequest(StandIn::MenuId));
  const auto answer = host.WaitAnswer(60s);
  host.Finalize();
  return answer && SignedWordAt(answer->Buffer, 12) == 0 ? 0 : 1;
}

// A host in a folder named in Cyrillic on a system whose ANSI code page (1252)
// lacks the letters: the plugin reads its ini, loads the client beside it,
// answers, and logs beside the host, naming the folder in Windows-1251.
TEST(StandInClient, AHostInAFolderNamedInCyrillicAnswersLogsAndConnects) {
  ASSERT_EQ(GetACP(), 1252u);
  const TempFolder base("kalvor-cyrillic");
  const std::filesystem::path folder =
      base.Path() / std::filesystem::path(L"\u0425\u043e\u0441\u0442");
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(ThisProgramPath(), folder / "Host.exe");
  std::filesystem::copy_file(KALVOR_PLUGIN_PATH, folder / "Kalvor.dll");
  std::filesystem::copy_file(KALVOR_PLUGIN_CORE_PATH, folder / "Kalvor.core.dll");
  std::filesystem::copy_file(KALVOR_STANDIN_CLIENT_PATH, folder / "fbclient.dll");
  std::ofstream(folder / "Kalvor.ini", std::ios::binary) << ServerIni();
  const std::u8string host = (folder / "Host.exe").u8string();
  EXPECT_EQ(RunProgram(std::string(host.begin(), host.end()), FolderHostSwitch, 120s), 0);

  std::string text;
  const std::u8string logs = (folder / "Logs").u8string();
  for (const auto& candidate :
       HourlyLogCandidates("Kalvor.dll", std::string(logs.begin(), logs.end()))) {
    std::ifstream file(std::filesystem::path(std::u8string(candidate.begin(), candidate.end())),
                       std::ios::binary);
    text += std::string(std::istreambuf_iterator<char>(file), {});
  }
  EXPECT_NE(text.find("Init SUCCESS. Ready To Work"), std::string::npos) << text;
  EXPECT_NE(text.find("\\\xd5\xee\xf1\xf2\\fbclient.dll"), std::string::npos) << text;
}

namespace {
struct tToolRun {
  int ExitCode;
  std::string Output;
};

// kalvor-host.exe as an operator runs it on the IVR box.
tToolRun RunTool(const std::string& arguments) {
  const TempFolder folder("kalvor-tool");
  const std::string output = folder / "output.txt";
  const int code = RunProgram(KALVOR_HOST_TOOL_PATH, arguments, 60s, output);
  return {code, ReadWholeFile(output)};
}
}  // namespace

// The status channel's pipe beside eight host threads of commands, asked by
// kalvor-host.exe status and health again and again.
TEST(StatusChannel, KalvorHostAsksItsPipeWhileEightThreadsSendCommands) {
  PluginCopy plugin("Kalvor.dll");
  plugin.WriteIni(ServerIni() + "StatusChannel=1\r\n");
  PutStandInClientBeside(plugin);
  LogTail log(HostLogsFolder());
  MenuHost host(plugin);
  const std::string pid = std::to_string(GetCurrentProcessId());
  EXPECT_NE(log.MainText().find("Status channel open at \\\\.\\pipe\\kalvor-DYNAMIC_MENU-" + pid +
                                " (this account and Administrators)"),
            std::string::npos)
      << log.MainText();

  std::atomic<bool> sending{true};
  std::atomic<int> sent{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < 8; ++thread)
    threads.emplace_back([&, thread] {
      for (int index = 0; sending; ++index) {
        const auto request = index % 2 == 0 ? StartItemRequest(StandIn::MenuId)
                                            : ItemDescRequest(StandIn::VoiceItemId);
        EXPECT_EQ(host.Host.Command(thread * 100000 + index, request), 0);
        ++sent;
        std::this_thread::sleep_for(10ms);
      }
    });
  int asked = 0;
  for (const auto end = std::chrono::steady_clock::now() + 3s;
       std::chrono::steady_clock::now() < end; ++asked) {
    const tToolRun status = RunTool("status --pid " + pid);
    EXPECT_EQ(status.ExitCode, 0) << status.Output;
    EXPECT_NE(status.Output.find("plugin: DYNAMIC_MENU 0."), std::string::npos) << status.Output;
    EXPECT_NE(status.Output.find("\nconnection: connected since "), std::string::npos)
        << status.Output;
    const tToolRun health = RunTool("health --max-queue 100000 --pid " + pid);
    EXPECT_EQ(health.ExitCode, 0) << health.Output;
    EXPECT_EQ(health.Output.rfind("KALVOR OK - DYNAMIC_MENU pid " + pid + ": connected, queue ", 0),
              0u)
        << health.Output;
  }
  sending = false;
  for (auto& thread : threads) thread.join();
  std::set<int32_t> ids;
  for (const tAnswer& answer : host.Host.WaitAnswers(static_cast<size_t>(sent), Patience))
    EXPECT_TRUE(ids.insert(answer.CommandId).second) << "called back twice: " << answer.CommandId;
  EXPECT_EQ(ids.size(), static_cast<size_t>(sent.load()));
  EXPECT_GT(asked, 2);

  const tToolRun json = RunTool("status --json --pid " + pid);
  EXPECT_EQ(json.ExitCode, 0) << json.Output;
  std::smatch counts;
  ASSERT_TRUE(std::regex_search(
      json.Output, counts,
      std::regex("\"since_start\":\\{\"commands\":\\{\"100\":(\\d+),\"101\":(\\d+),")))
      << json.Output;
  EXPECT_EQ(std::stoi(counts[1]) + std::stoi(counts[2]), sent.load()) << json.Output;

  host.Host.Finalize();
  const tToolRun gone = RunTool("health --pid " + pid);
  EXPECT_EQ(gone.ExitCode, 3) << gone.Output;
  EXPECT_EQ(gone.Output.rfind("KALVOR UNKNOWN - no plugin of process " + pid, 0), 0u)
      << gone.Output;
  std::printf("%d status and health pairs asked beside %d commands\n", asked, sent.load());
}

// An ini that names no database: the outage line at Init_Plugin, each
// command failed and counted against it, and kalvor-host.exe health exits 2.
TEST(StatusChannel, KalvorHostTellsAPluginWithoutADatabaseCritical) {
  PluginCopy plugin("Kalvor.dll");
  plugin.WriteIni("[Main]\r\nLogLevel=1\r\nStatusChannel=1\r\n");
  PutStandInClientBeside(plugin);
  LogTail log(HostLogsFolder());
  MenuHost host(plugin);
  for (int command = 0; command < 2; ++command)
    EXPECT_EQ(SignedWordAt(host.Ask(StartItemRequest(StandIn::MenuId)).Buffer, 12), 1);
  EXPECT_EQ(Occurrences(log.MainText(), "Database unreachable since "), 1u) << log.MainText();
  EXPECT_TRUE(std::regex_search(log.MainText(),
                                std::regex("\r\n[0-9:.]{12} Database unreachable since [0-9:]{8}: "
                                           "Database name is missing\r\n")))
      << log.MainText();
  const std::string pid = std::to_string(GetCurrentProcessId());
  const tToolRun health = RunTool("health --max-unreachable 3600 --pid " + pid);
  EXPECT_EQ(health.ExitCode, 2) << health.Output;
  EXPECT_EQ(health.Output.rfind("KALVOR CRITICAL - DYNAMIC_MENU pid " + pid +
                                    ": no database named in its ini; database unreachable for ",
                                0),
            0u)
      << health.Output;
  EXPECT_NE(health.Output.find(" s (limit 3600.0 s), 2 commands failed: Database name is missing"),
            std::string::npos)
      << health.Output;
  host.Host.Finalize();
}
