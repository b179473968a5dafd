// A LogClient.dll that raises in any of its entries, in a host that set a
// locale with a decimal comma: the host lives on, every line reaches the
// hourly file, and the library is called no more after it raised.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <regex>
#include <string>

#include "RaisingLogClientControl.h"
#include "WindowsHost.h"
#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/TaggedCommands.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
constexpr int Commands = 5;
const std::string PluginFile = "Kalvor_Client.dll";

// The host program's own ini names the log server for the plugin's file name.
class tHostDebugSetting {
 public:
  explicit tHostDebugSetting(const std::string& setting)
      : Path(std::filesystem::path(ThisProgramPath()).replace_extension(".ini").string()) {
    WriteWholeFile(Path, "[Debug]\r\n" + PluginFile + "=" + setting + "\r\n");
  }
  ~tHostDebugSetting() { std::filesystem::remove(Path); }
  tHostDebugSetting(const tHostDebugSetting&) = delete;
  tHostDebugSetting& operator=(const tHostDebugSetting&) = delete;

 private:
  std::string Path;
};

// The stand-in beside this program, where the plugin's LoadLibrary finds it;
// held here so that its counts outlive the plugin's hold.
class tLogClientStandIn {
 public:
  tLogClientStandIn()
      : Library(
            LoadLibraryA((std::filesystem::path(ThisProgramPath()).parent_path() / "LogClient.dll")
                             .string()
                             .c_str())) {
    if (Library == nullptr) throw std::runtime_error("no stand-in LogClient.dll");
  }
  ~tLogClientStandIn() { FreeLibrary(Library); }
  tLogClientStandIn(const tLogClientStandIn&) = delete;
  tLogClientStandIn& operator=(const tLogClientStandIn&) = delete;

  StandIn::tLogClientCalls Calls() const {
    StandIn::tLogClientCalls calls{};
    reinterpret_cast<tLogClientCallsEntry>(Entry("StandIn_LogClientCalls"))(&calls);
    return calls;
  }
  std::string FaultedMessage() const {
    char text[1024] = {};
    reinterpret_cast<tFaultedMessageEntry>(Entry("StandIn_FaultedMessage"))(text, sizeof text);
    return text;
  }

 private:
  void* Entry(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(Library, name));
  }
  HMODULE Library;
};

class tCommaLocale {
 public:
  tCommaLocale() { Set = std::setlocale(LC_ALL, "Russian_Russia.1251") != nullptr; }
  ~tCommaLocale() { std::setlocale(LC_ALL, "C"); }
  tCommaLocale(const tCommaLocale&) = delete;
  tCommaLocale& operator=(const tCommaLocale&) = delete;
  bool Set = false;
};

void RunCommandsAndFinalize(const PluginCopy& plugin) {
  tPluginHost host(plugin.LibraryPath());
  host.Init();
  for (int i = 0; i < Commands; ++i) ASSERT_EQ(host.Command(7, TaggedCommand(i)), 0);
  ASSERT_EQ(host.WaitAnswers(Commands, 60s).size(), static_cast<size_t>(Commands));
  host.Finalize();
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}
}  // namespace

TEST(LogClientFaults, RaisingEntryIsDroppedAndItsLinesGoToTheFile) {
  struct tCase {
    const char* Plan;
    const char* Entry;
    const char* Code;
    int CommandLinesInFile;
  };
  const tCase cases[] = {
      {"initialize:access:1", "DLL_Initialize", "0xC0000005", Commands},
      {"message:raise:2", "DLL_MessageToLogServer", "0xE0000042", Commands},
      {"finalize:access:1", "DLL_Finalize", "0xC0000005", 0},
  };
  const tLogClientStandIn client;
  const tCommaLocale locale;
  ASSERT_TRUE(locale.Set);
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Plan);
    const tHostDebugSetting setting(test.Plan);
    const PluginCopy plugin(PluginFile);
    const LogTail log(HostLogsFolder());
    RunCommandsAndFinalize(plugin);

    const std::string text = log.MainText();
    EXPECT_EQ(Occurrences(text, std::string("LogClient.dll raised exception ") + test.Code +
                                    " in " + test.Entry + ": the log client is called no more"),
              1u)
        << text;
    EXPECT_EQ(Occurrences(text, "<--Operation was complete ["),
              static_cast<size_t>(test.CommandLinesInFile))
        << text;
    const auto calls = client.Calls();
    EXPECT_EQ(calls.AfterFault, 0);
    EXPECT_EQ(calls.Initialize, 1);
    if (test.CommandLinesInFile == Commands) {
      EXPECT_EQ(calls.Finalize, 0);
      // The figures line of Finalize, written whatever decimal comma the host set.
      EXPECT_TRUE(std::regex_search(text, std::regex(R"(median=\d+\.\d{3} p99=\d+\.\d{3} )")))
          << text;
    }
    if (calls.Message == 2) {
      EXPECT_NE(client.FaultedMessage(), "");
      EXPECT_EQ(Occurrences(text, client.FaultedMessage()), 1u) << text;
    }
  }
}
