// A LogClient.dll beside the plugin that raises in any of its entries, in a
// host that set a locale with a decimal comma: the host lives on and every
// line reaches the hourly file. The stand-in takes every line it is offered,
// so a line in the file is one the library was not called with.
#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <regex>
#include <string>

#include "WindowsHost.h"
#include "support/LogTail.h"
#include "support/TaggedCommands.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

TEST(LogClientFaults, RaisingEntryIsCalledNoMoreAndTheLinesGoToTheFile) {
  constexpr size_t Commands = 5;
  const struct {
    const char* Plan;
    const char* Raised;
    size_t CommandLinesInFile;
  } cases[] = {
      {"initialize:access:1", "exception 0xC0000005 in DLL_Initialize", Commands},
      {"message:raise:1", "exception 0xE0000042 in DLL_MessageToLogServer", Commands},
      {"finalize:access:1", "exception 0xC0000005 in DLL_Finalize", 0},
  };
  // The program's own ini names the log server for the plugin's file name.
  const std::string hostIni =
      std::filesystem::path(ThisProgramPath()).replace_extension(".ini").string();
  ASSERT_NE(std::setlocale(LC_ALL, "Russian_Russia.1251"), nullptr);
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  for (const auto& test : cases) {
    SCOPED_TRACE(test.Plan);
    WriteWholeFile(hostIni, std::string("[Debug]\r\nKalvor_Client.dll=") + test.Plan + "\r\n");
    const PluginCopy plugin("Kalvor_Client.dll");
    CopyBeside(plugin, KALVOR_STANDIN_LOGCLIENT_PATH, "LogClient.dll");
    const LogTail log(HostLogsFolder());
    tPluginHost host(plugin.LibraryPath());
    host.Init();
    for (uint32_t i = 0; i < Commands; ++i) ASSERT_EQ(host.Command(7, TaggedCommand(i)), 0);
    ASSERT_EQ(host.WaitAnswers(Commands, 60s).size(), Commands);
    host.Finalize();

    const std::string text = log.MainText();
    EXPECT_EQ(Occurrences(text, std::string("LogClient.dll raised ") + test.Raised +
                                    ": the log client is called no more"),
              1u)
        << text;
    // The line the library raised on is the first it was offered.
    EXPECT_EQ(Occurrences(text, "Initialize Plugin Worker Object"),
              test.CommandLinesInFile ? 1u : 0u);
    EXPECT_EQ(Occurrences(text, "<--Operation was complete ["), test.CommandLinesInFile) << text;
    // The figures line of Finalize, whatever decimal comma the host set.
    EXPECT_EQ(std::regex_search(text, std::regex(R"(median=\d+\.\d{3} p99=\d+\.\d{3} )")),
              test.CommandLinesInFile > 0)
        << text;
  }
  std::setlocale(LC_ALL, "C");
  std::filesystem::remove(hostIni);
}
