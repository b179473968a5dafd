#include "WindowsHost.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "log/uLogVocabulary.h"
#include "support/LogTail.h"

std::string ServerIni() {
  return "[Main]\r\nDBName=127.0.0.1:c:\\bases\\vo.fdb\r\nDBUser=SYSDBA\r\nDBPWD=orchardly\r\n"
         "lc_ctype=WIN1251\r\nLogLevel=1\r\n";
}

std::string CopyBeside(const PluginCopy& plugin, const std::string& source,
                       const std::string& name) {
  const auto target = std::filesystem::path(plugin.LibraryPath()).parent_path() / name;
  std::filesystem::copy_file(source, target);
  return target.string();
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string PutStandInClientBeside(const PluginCopy& plugin) {
  return CopyBeside(plugin, KALVOR_STANDIN_CLIENT_PATH, "fbclient.dll");
}

namespace {
void* Entry(void* library, const char* name) {
  void* entry = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
  if (entry == nullptr) throw std::runtime_error(std::string("stand-in lacks ") + name);
  return entry;
}
}  // namespace

tStandInClient::tStandInClient(const std::string& path)
    : Library(LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {
  if (Library == nullptr) throw std::runtime_error("cannot load " + path);
  FailNext = Entry(Library, "StandIn_FailNextExecution");
  AttachmentCount = Entry(Library, "StandIn_Attachments");
  LastAction = Entry(Library, "StandIn_LastCommittedAction");
  LastDatabase = Entry(Library, "StandIn_LastDatabaseName");
  Password = Entry(Library, "StandIn_LastPassword");
}

tStandInClient::~tStandInClient() {
  FreeLibrary(static_cast<HMODULE>(Library));
}

void tStandInClient::FailNextExecution(int failure) {
  reinterpret_cast<tFailNextExecution>(FailNext)(failure);
}

int tStandInClient::Attachments() {
  return reinterpret_cast<tAttachments>(AttachmentCount)();
}

namespace {
std::string TextFrom(void* entry) {
  char text[2048] = {};
  reinterpret_cast<tLastText>(entry)(text, sizeof text);
  return text;
}
}  // namespace

std::optional<StandIn::tAction> tStandInClient::LastCommittedAction() {
  StandIn::tAction action;
  std::vector<char> key(2048);
  const int length = reinterpret_cast<tLastCommittedAction>(LastAction)(
      &action.SessionId, &action.ItemId, key.data(), static_cast<int>(key.size()));
  if (length < 0) return std::nullopt;
  action.Key.assign(key.data(), std::min(key.size(), static_cast<size_t>(length)));
  return action;
}

std::string tStandInClient::LastDatabaseName() {
  return TextFrom(LastDatabase);
}

std::string tStandInClient::LastPassword() {
  return TextFrom(Password);
}

namespace {
std::string HourlyLog(const std::string& logsFolder, const std::string& libraryFileName,
                      const SYSTEMTIME& time) {
  return logsFolder + "\\" + DayFolderName(time.wYear, time.wMonth, time.wDay) + "\\" +
         HourlyFileName(time.wHour, libraryFileName);
}
}  // namespace

std::vector<std::string> HourlyLogCandidates(const std::string& libraryFileName,
                                             const std::string& logsFolder) {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  FILETIME stamp{};
  SystemTimeToFileTime(&now, &stamp);
  ULARGE_INTEGER ticks{};
  ticks.LowPart = stamp.dwLowDateTime;
  ticks.HighPart = stamp.dwHighDateTime;
  ticks.QuadPart -= 3600ull * 10000000ull;
  stamp.dwLowDateTime = ticks.LowPart;
  stamp.dwHighDateTime = ticks.HighPart;
  SYSTEMTIME hourBefore{};
  FileTimeToSystemTime(&stamp, &hourBefore);
  return {HourlyLog(logsFolder, libraryFileName, now),
          HourlyLog(logsFolder, libraryFileName, hourBefore)};
}

std::string ThisProgramPath() {
  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, sizeof program);
  return program;
}

int RunThisProgram(const std::string& arguments, std::chrono::seconds patience) {
  return RunProgram(ThisProgramPath(), arguments, patience);
}

int RunProgram(const std::string& program, const std::string& arguments,
               std::chrono::seconds patience, const std::string& outputFile) {
  const std::wstring path = std::filesystem::path(std::u8string(program.begin(), program.end()));
  std::wstring commandLine = L"\"" + path + L"\" " + std::filesystem::path(arguments).wstring();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    output = CreateFileA(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                         CREATE_ALWAYS, 0, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  }
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr,
                     output != INVALID_HANDLE_VALUE, 0, nullptr, nullptr, &startup, &process);
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
  if (!started) throw std::runtime_error("cannot start " + program + " " + arguments);
  CloseHandle(process.hThread);
  const auto waited = WaitForSingleObject(
      process.hProcess,
      static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(patience).count()));
  DWORD code = 0;
  if (waited != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return waited == WAIT_OBJECT_0 ? static_cast<int>(code) : -1;
}
