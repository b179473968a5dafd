// What the Windows suite needs besides the shared test support: plugin copies
// beside the stand-in client library and its controls, the hourly log file
// beside this program, and this program run again as a careless host.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "StandInControl.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"

// An ini pointing the plugin at the server database of the Windows defaults.
std::string ServerIni();

// Copies the file beside the plugin copy under the name; returns the copy's path.
std::string CopyBeside(const PluginCopy& plugin, const std::string& source,
                       const std::string& name);

// Puts the stand-in fbclient.dll beside the plugin copy; returns its path.
std::string PutStandInClientBeside(const PluginCopy& plugin);

// The stand-in loaded at that path: the same module the plugin loads from there.
class tStandInClient {
 public:
  explicit tStandInClient(const std::string& path);
  ~tStandInClient();
  tStandInClient(const tStandInClient&) = delete;
  tStandInClient& operator=(const tStandInClient&) = delete;

  void FailNextExecution(int failure);
  int Attachments();
  std::optional<StandIn::tAction> LastCommittedAction();
  std::string LastDatabaseName();
  std::string LastPassword();

 private:
  void* Library = nullptr;
  void* FailNext = nullptr;
  void* AttachmentCount = nullptr;
  void* LastAction = nullptr;
  void* LastDatabase = nullptr;
  void* Password = nullptr;
};

// How often the part occurs in the text.
size_t Occurrences(const std::string& text, const std::string& part);

// Logs\YYYY_MM_DD\HH_<library file>.log beside this program (or in the Logs
// folder given), for the hour before and after the call (a test may run
// across the turn of an hour).
std::vector<std::string> HourlyLogCandidates(const std::string& libraryFileName,
                                             const std::string& logsFolder = HostLogsFolder());

// A program (its path in UTF-8) run with the arguments: its exit code, or -1
// when it had not ended within the time (it is then ended). Its output and
// errors go to outputFile when one is named.
int RunProgram(const std::string& program, const std::string& arguments,
               std::chrono::seconds patience, const std::string& outputFile = {});
int RunThisProgram(const std::string& arguments, std::chrono::seconds patience);

// The full path of this program.
std::string ThisProgramPath();

// This program run again as a host that logs as fast as it can: two copies of
// the plugin under one file name answer commands routed nowhere, two log lines
// each. Returns how many went unanswered.
inline constexpr const char* LogWriterSwitch = "--log-writer";
int PlayLogWriter(int commandsPerCopy);

// This program run again as a host that sends one command every 20 ms for
// the seconds given and prints the answers' 99th percentile wait.
inline constexpr const char* PacedWriterSwitch = "--paced-writer";
int PlayPacedWriter(int seconds);

// This program run again from a folder that holds the plugin, its core, the
// stand-in and an ini: one command through the stand-in. 0 when answered.
inline constexpr const char* FolderHostSwitch = "--folder-host";
int PlayFolderHost();
