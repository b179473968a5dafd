#include "log/uLog.h"

#include <utility>

#include "log/tUniLog.h"
#include "log/uDateTimePattern.h"
#include "log/uModule.h"
#include "platform/IniFile.h"
#include "platform/ModulePaths.h"
#include "platform/Paths.h"

tUniLog* GlobalLog = nullptr;
std::string HostFileName;
std::string ModuleFileName;

namespace {
// Logs/<day>/<hour>_<library file>.log beside the host program. The folder and
// the file name are literals whatever they hold: a folder named a"MM"b stays so.
std::string LogFilePattern(const std::string& hostFolder) {
  const std::string delimiter(1, PathDelimiter);
  return PatternLiteral(hostFolder + "Logs" + delimiter) + "YYYY\"_\"MM\"_\"DD\"" + delimiter +
         "\"HH" + PatternLiteral("_" + ModuleFileName + ".log");
}

// The host program's own ini file names the log server, keyed by this library's file name.
std::string ReadLogServerSetting(const std::string& hostPath) {
  const std::string iniPath = ChangeFileExt(hostPath, ".ini");
  if (!tIniFile::FileExists(iniPath)) return {};
  try {
    return tIniFile::Load(iniPath)->ReadString("Debug", ModuleFileName, "");
  } catch (const tIniError&) {
    return {};  // an unreadable ini costs the log server, not the file log
  }
}

void BuildGlobalLog() {
  const std::string hostPath = HostExecutablePath();
  HostFileName = ExtractFileName(hostPath);
  ModuleFileName = ExtractFileName(GetOwnModuleFileName());
  if (ModuleFileName.empty()) return;
  const std::string setting = ReadLogServerSetting(hostPath);
  GlobalLog = new tUniLog(LogFilePattern(ExtractFilePath(hostPath)), setting);
}
}  // namespace

void CreateGlobalLog() {
  if (GlobalLog != nullptr) return;
  try {
    BuildGlobalLog();
  } catch (...) {
    GlobalLog = nullptr;
  }
}

void FreeGlobalLog() {
  delete std::exchange(GlobalLog, nullptr);
}

bool LogWrite(const std::string& Message) {
  if (GlobalLog == nullptr) return false;
  try {
    GlobalLog->WriteLine(Message);
    return true;
  } catch (...) {
    return false;
  }
}

bool LogWriteTo(const std::string& Message, const std::string& Prefix) {
  if (GlobalLog == nullptr) return false;
  try {
    GlobalLog->WriteLineTo(Message, Prefix);
    return true;
  } catch (...) {
    return false;
  }
}
