// LogClient.dll as the field writes it, in Delphi or Visual C++: it lets an
// exception escape, handles its own inside, or blocks. The host lives on,
// every line reaches the library or the hourly file, and no host thread waits
// for the library longer than its patience (2 s). The stand-in lies beside the
// plugin and takes every line it is offered, so a line in the file is one the
// library was not called with, or did not take in time.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iterator>
#include <regex>
#include <string>

#include "WindowsHost.h"
#include "support/LogTail.h"
#include "support/TaggedCommands.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
constexpr size_t Commands = 5;

size_t Matches(const std::string& text, const std::string& pattern) {
  const std::regex expression(pattern);
  return static_cast<size_t>(
      std::distance(std::sregex_iterator(text.begin(), text.end(), expression), {}));
}

using tSeconds = std::chrono::duration<double>;

template <typename tCall>
tSeconds Timed(tCall call) {
  const auto started = std::chrono::steady_clock::now();
  call();
  return std::chrono::steady_clock::now() - started;
}

// A plugin copy with the stand-in beside it, the host program's own ini naming
// the log server for the copy's file name.
class tLogClientBeside {
 public:
  explicit tLogClientBeside(const std::string& setting)
      : HostIni(std::filesystem::path(ThisProgramPath()).replace_extension(".ini").string()),
        Client(CopyBeside(Plugin, KALVOR_STANDIN_LOGCLIENT_PATH, "LogClient.dll")) {
    WriteWholeFile(HostIni, "[Debug]\r\nKalvor_Client.dll=" + setting + "\r\n");
  }
  ~tLogClientBeside() { std::filesystem::remove(HostIni); }

  // The lines the library was called with.
  std::string Received() const { return ReadWholeFile(Client + ".lines"); }
  // Lets blocked calls return.
  void Unblock() const {
    if (const auto unblock = Call<void(WINAPI*)()>("LogClient_Unblock")) unblock();
  }
  // The host's own logging through the same library, on a thread of its own:
  // false when it had not returned within the time.
  bool HostLogsWithin(DWORD milliseconds) const {
    const auto message = Call<LPTHREAD_START_ROUTINE>("LogClient_HostLine");
    if (message == nullptr) return false;
    const HANDLE thread = CreateThread(nullptr, 0, message, nullptr, 0, nullptr);
    const bool returned = WaitForSingleObject(thread, milliseconds) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return returned;
  }

  const PluginCopy Plugin{"Kalvor_Client.dll"};

 private:
  // Null once the plugin has unloaded the library.
  template <typename tEntry>
  tEntry Call(const char* name) const {
    const HMODULE library = GetModuleHandleA(Client.c_str());
    if (library == nullptr) return nullptr;
    return reinterpret_cast<tEntry>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  }

  const std::string HostIni;
  const std::string Client;
};

struct tWaits {
  tSeconds Init, Command, Finalize;
};

// Init_Plugin, a command refused for its null buffer, five commands answered,
// then what the test does before Finalize_Plugin: how long the host's calls took.
tWaits ServeFiveCommands(
    const tLogClientBeside& client, const std::function<void()>& beforeFinalize = [] {}) {
  tPluginHost host(client.Plugin.LibraryPath());
  tWaits waits{};
  waits.Init = Timed([&] { host.Init(); });
  waits.Command = Timed([&] { EXPECT_EQ(host.Command(1, nullptr, 0), 3); });
  for (uint32_t i = 0; i < Commands; ++i) EXPECT_EQ(host.Command(7, TaggedCommand(i)), 0);
  EXPECT_EQ(host.WaitAnswers(Commands, 60s).size(), Commands);
  beforeFinalize();
  waits.Finalize = Timed([&] { host.Finalize(); });
  return waits;
}
}  // namespace

// In a host that set a locale with a decimal comma. The escaping access
// violation is named by whatever error code the system gives it (32-bit wine
// on some machines reports one as an illegal instruction).
TEST(LogClientFaults, EscapingExceptionIsContainedAndTheLibraryCalledNoMore) {
  ASSERT_NE(std::setlocale(LC_ALL, "Russian_Russia.1251"), nullptr);
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  for (const std::string entry : {"initialize", "message", "finalize"}) {
    for (const std::string code : {"access", "E0000042", "0EEDFADE", "E06D7363"}) {
      SCOPED_TRACE(entry + ":" + code);
      const tLogClientBeside client(entry + ":" + code + ":1");
      const LogTail log(HostLogsFolder());
      ServeFiveCommands(client);

      const std::string text = log.MainText();
      const std::string entryName = entry == "initialize" ? "DLL_Initialize"
                                    : entry == "message"  ? "DLL_MessageToLogServer"
                                                          : "DLL_Finalize";
      const std::string raised = code == "access" ? "0x[C-F][0-9A-F]{7}" : "0x" + code;
      EXPECT_EQ(Matches(text, "LogClient\\.dll raised exception " + raised + " in " + entryName +
                                  ": the log client is called no more, lines go to this file"),
                1u)
          << text;
      // Raised at the first line offered, or at the end: each line is in one place.
      const size_t inFile = entry == "finalize" ? 0 : Commands;
      EXPECT_EQ(Occurrences(text, "<--Operation was complete ["), inFile) << text;
      EXPECT_EQ(Occurrences(client.Received(), "<--Operation was complete ["), Commands - inFile);
      EXPECT_EQ(Occurrences(text, "Initialize Plugin Worker Object"), inFile ? 1u : 0u);
      // The figures line of Finalize, whatever decimal comma the host set.
      EXPECT_EQ(std::regex_search(text, std::regex(R"(median=\d+\.\d{3} p99=\d+\.\d{3} )")),
                inFile > 0)
          << text;
    }
  }
  std::setlocale(LC_ALL, "C");
}

// On every line the library probes with IsBadReadPtr, and raises an access
// violation and a Visual C++ exception that frame handlers of its own take,
// all under its own lock: it gets every line, and the lock is free afterwards.
TEST(LogClientFaults, ExceptionsTheLibraryHandlesItselfAreLeftToIt) {
  const tLogClientBeside client("message:internal:");
  const LogTail log(HostLogsFolder());
  ServeFiveCommands(client, [&] { EXPECT_TRUE(client.HostLogsWithin(20000)); });

  const std::string text = log.MainText();
  EXPECT_EQ(text.find("LogClient.dll"), std::string::npos) << text;
  EXPECT_EQ(Occurrences(text, "<--Operation was complete ["), 0u) << text;
  const std::string received = client.Received();
  EXPECT_EQ(Occurrences(received, "<--Operation was complete ["), Commands) << received;
  EXPECT_EQ(Occurrences(received, "Command refused: null buffer (CommandId=1)"), 1u);
  EXPECT_EQ(Occurrences(received, "the host's own line"), 1u);
}

// DLL_Initialize, the line of a refused command, or DLL_Finalize does not
// return: Init_Plugin and Finalize_Plugin wait the patience at most,
// Command_Plugin not at all, and the lines the library did not take are in the file.
TEST(LogClientFaults, BlockingLibraryHoldsNoHostThread) {
  const struct {
    const char* Setting;
    const char* Entry;
  } cases[] = {
      {"initialize:block:", "DLL_Initialize"},
      {"message:block:Command refused", "DLL_MessageToLogServer"},
      {"finalize:block:", "DLL_Finalize"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Setting);
    const tLogClientBeside client(test.Setting);
    const LogTail log(HostLogsFolder());
    const tWaits waits = ServeFiveCommands(client);
    // Read before the blocked call may go on and take its line after all.
    const std::string text = log.MainText();
    const std::string received = client.Received();
    client.Unblock();
    std::printf("[ %s ] Init_Plugin %.3f s, Command_Plugin %.6f s, Finalize_Plugin %.3f s\n",
                test.Setting, waits.Init.count(), waits.Command.count(), waits.Finalize.count());
    EXPECT_LT(waits.Init, 10s);
    EXPECT_LT(waits.Command, 1s);
    EXPECT_LT(waits.Finalize, 10s);

    EXPECT_EQ(Occurrences(text, std::string("LogClient.dll did not return from ") + test.Entry +
                                    " within 2 s: the log client is called no more"),
              1u)
        << text;
    const std::string refused = "Command refused: null buffer (CommandId=1)";
    EXPECT_EQ(Occurrences(text, refused) + Occurrences(received, refused), 1u) << text;
    EXPECT_EQ(Occurrences(text, "<--Operation was complete [") +
                  Occurrences(received, "<--Operation was complete ["),
              Commands)
        << text;
  }
}
