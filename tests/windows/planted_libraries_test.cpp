// No library of the plugin's is taken from the host's current folder or from a
// folder on PATH, where anyone may put one: a library planted there under the
// name the plugin looks for marks its own loading, and never may. Run in a
// process of its own, in which no fbclient.dll was loaded before.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "StandInControl.h"
#include "WindowsHost.h"
#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/TaggedCommands.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
// The planted library under the name in a folder put first on PATH, and in
// the folder made the current folder too, or not (the current folder is
// searched before PATH), for the object's lifetime.
enum class tPlaces { CurrentFolderAndPath, PathOnly };

class tPlanted {
 public:
  tPlanted(const std::string& name, tPlaces places) : Name(name) {
    std::filesystem::copy_file(KALVOR_PLANTED_LIBRARY_PATH, PathFolder / name);
    if (places == tPlaces::CurrentFolderAndPath)
      std::filesystem::copy_file(KALVOR_PLANTED_LIBRARY_PATH, CurrentFolder / name);
    std::filesystem::current_path(CurrentFolder.Path());
    _putenv(("PATH=" + PathFolder.Path().string() + ";" + SavedPath).c_str());
  }
  ~tPlanted() {
    std::filesystem::current_path(SavedCurrent);
    _putenv(("PATH=" + SavedPath).c_str());
  }

  // The planted copies that were loaded.
  std::string Loaded() const {
    std::string loaded;
    for (const TempFolder* folder : {&CurrentFolder, &PathFolder})
      if (std::filesystem::exists(*folder / (Name + ".loaded"))) loaded += *folder / Name + " ";
    return loaded;
  }

 private:
  const std::string Name;
  TempFolder CurrentFolder{"kalvor-current"};
  TempFolder PathFolder{"kalvor-path"};
  const std::filesystem::path SavedCurrent = std::filesystem::current_path();
  const std::string SavedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
};

// The stand-in client marked as built for the other architecture.
void PutOtherArchitectureBeside(const PluginCopy& plugin) {
  std::string image = ReadWholeFile(KALVOR_STANDIN_CLIENT_PATH);
  uint32_t header = 0;
  std::memcpy(&header, &image[0x3C], sizeof header);
  const uint16_t other = sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
  std::memcpy(&image[header + 4], &other, sizeof other);
  WriteWholeFile(
      (std::filesystem::path(plugin.LibraryPath()).parent_path() / "fbclient.dll").string(), image);
}

std::string Folder(const PluginCopy& plugin) {
  return std::filesystem::path(plugin.LibraryPath()).parent_path().string() + "\\";
}
}  // namespace

// Beside the plugin: no client library, one of the other architecture, or
// a good gds32.dll. fbclient.dll on PATH and in the current folder stays
// untouched; the plugin answers through gds32.dll, or names the missing library.
TEST(PlantedLibraries, NoClientLibraryComesFromTheCurrentFolderOrPath) {
  for (const tPlaces places : {tPlaces::CurrentFolderAndPath, tPlaces::PathOnly})
    for (const std::string beside :
         {"nothing", "fbclient.dll of the other architecture", "gds32.dll"}) {
      SCOPED_TRACE(beside + (places == tPlaces::PathOnly ? ", planted on PATH only" : ""));
      const PluginCopy plugin("Kalvor.dll");
      plugin.WriteIni(ServerIni());
      if (beside == "gds32.dll") CopyBeside(plugin, KALVOR_STANDIN_CLIENT_PATH, "gds32.dll");
      if (beside != "nothing" && beside != "gds32.dll") PutOtherArchitectureBeside(plugin);
      const tPlanted planted("fbclient.dll", places);
      const LogTail log(HostLogsFolder());
      tPluginHost host(plugin.LibraryPath());
      host.Init();
      ASSERT_EQ(host.Command(100, StartItemRequest(StandIn::MenuId)), 0);
      const auto answer = host.WaitAnswer(60s);
      host.Finalize();

      EXPECT_EQ(planted.Loaded(), "");
      ASSERT_TRUE(answer);
      const std::string text = log.MainText();
      if (beside == "gds32.dll") {
        EXPECT_EQ(SignedWordAt(answer->Buffer, 12), 0);
        EXPECT_NE(text.find("Firebird client library loaded from " + Folder(plugin) + "gds32.dll"),
                  std::string::npos)
            << text;
      } else {
        EXPECT_EQ(SignedWordAt(answer->Buffer, 12), 1);
        EXPECT_NE(text.find("Firebird client library not loaded"), std::string::npos) << text;
      }
    }
}

// A real LogClient.dll beside the plugin is the one used, whatever lies in the
// current folder or on PATH, and the log names its full path.
TEST(PlantedLibraries, TheLogClientBesideThePluginIsTheOneUsed) {
  const PluginCopy plugin("Kalvor_Planted.dll");
  plugin.WriteIni("[Main]\r\nLogLevel=1\r\n");
  const std::string client = CopyBeside(plugin, KALVOR_STANDIN_LOGCLIENT_PATH, "LogClient.dll");
  const std::string hostIni =
      std::filesystem::path(ThisProgramPath()).replace_extension(".ini").string();
  WriteWholeFile(hostIni, "[Debug]\r\nKalvor_Planted.dll=none\r\n");
  for (const tPlaces places : {tPlaces::CurrentFolderAndPath, tPlaces::PathOnly}) {
    const tPlanted planted("LogClient.dll", places);
    tPluginHost host(plugin.LibraryPath());
    host.Init();
    ASSERT_EQ(host.Command(7, TaggedCommand(1)), 0);
    EXPECT_TRUE(host.WaitAnswer(60s));
    host.Finalize();
    EXPECT_EQ(planted.Loaded(), "");
  }
  std::filesystem::remove(hostIni);
  const std::string received = ReadWholeFile(client + ".lines");
  EXPECT_EQ(Occurrences(received, "Log client library loaded from " + client), 2u) << received;
  EXPECT_EQ(Occurrences(received, "<--Operation was complete ["), 2u) << received;
}
