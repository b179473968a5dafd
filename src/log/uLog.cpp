#include "log/uLog.h"

#include "log/tUniLog.h"
#include "log/uDateTimePattern.h"
#include "log/uLogVocabulary.h"
#include "log/uModule.h"
#include "platform/IniFile.h"
#include "platform/ModulePaths.h"
#include "platform/Paths.h"

namespace {
// What the log's lines and the log server's texts are written in.
constexpr const char* LogCharacterSet = "WIN1251";

// Characters in place rather than strings: nothing to destroy at exit.
struct tFileNameText {
  char Characters[256] = {};

  void Assign(const std::string& text) {
    const size_t length = text.copy(Characters, sizeof Characters - 1);
    Characters[length] = '\0';
  }
};

tFileNameText HostName;
tFileNameText ModuleName;

// Logs/<day>/<hour>_<library file>.log beside the host program. The folder and
// the file name are literals whatever they hold: a folder named a"MM"b stays so.
std::string LogFilePattern(const std::string& moduleFileName) {
  const std::string delimiter(1, PathDelimiter);
  return PatternLiteral(LogsFolder() + delimiter) + DayFolderPattern + PatternLiteral(delimiter) +
         HourPattern + PatternLiteral(HourlyFileSuffix(moduleFileName));
}

// The host program's own ini file names the log server, keyed by this library's file name.
std::string ReadLogServerSetting(const std::string& hostPath) {
  const std::string iniPath = ChangeFileExt(hostPath, ".ini");
  if (!tIniFile::FileExists(iniPath)) return {};
  try {
    const auto ini = tIniFile::Load(iniPath);
    ini->ConvertValues(*FindCharacterSet(LogCharacterSet));
    return ini->ReadString("Debug", ModuleFileName(), "");
  } catch (const tIniError&) {
    return {};  // an unreadable ini costs the log server, not the file log
  }
}

}  // namespace

const char* HostFileName() {
  return HostName.Characters;
}

const char* ModuleFileName() {
  return ModuleName.Characters;
}

void SetLogFileNames(const std::string& hostFileName, const std::string& moduleFileName) {
  HostName.Assign(hostFileName);
  ModuleName.Assign(moduleFileName);
}

// The names go to the log server as texts, the module's into the file's path as it is.
std::unique_ptr<tUniLog> OpenLogBesideHost() {
  const std::string hostPath = HostExecutablePath();
  const std::string moduleFileName = LogModuleFileName();
  SetLogFileNames(PathText(ExtractFileName(hostPath)), PathText(moduleFileName));
  if (moduleFileName.empty()) return nullptr;
  return std::make_unique<tUniLog>(LogFilePattern(moduleFileName), ReadLogServerSetting(hostPath));
}

std::string LogsFolder() {
  return ExtractFilePath(HostExecutablePath()) + LogsFolderName;
}

std::string LogModuleFileName() {
  return ExtractFileName(GetOwnModuleFileName());
}
