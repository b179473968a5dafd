#include <windows.h>

#include <kalvor/status_channel.h>

#include <algorithm>

#include "platform/windows/WideText.h"
#include "uStatusClient.h"

namespace {
class tHandle {
 public:
  explicit tHandle(HANDLE handle) : Handle(handle) {}
  ~tHandle() {
    if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
  }
  tHandle(const tHandle&) = delete;
  tHandle& operator=(const tHandle&) = delete;
  HANDLE Get() const { return Handle; }

 private:
  HANDLE Handle;
};

std::string Words(const std::string& what, DWORD error) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string words = text != nullptr ? Utf8FromWide(text) : "error " + std::to_string(error);
  LocalFree(text);
  while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
    words.pop_back();
  return what + ": " + words;
}

DWORD MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<DWORD>(std::max<long long>(left.count(), 0));
}

HANDLE OpenPipe(const std::wstring& name, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    const HANDLE pipe = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY) return pipe;
    // Another client is being answered: its turn ends within the plugin's patience.
    if (!WaitNamedPipeW(name.c_str(), std::max<DWORD>(MillisecondsLeft(deadline), 1)) &&
        GetLastError() == ERROR_SEM_TIMEOUT)
      return INVALID_HANDLE_VALUE;
  }
}
}  // namespace

// The pipes' announcements, each deleted with its pipe: none is left behind.
tStatusSearch FindStatusEndpoints() {
  tStatusSearch search;
  wchar_t data[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH);
  const std::wstring folder = (length > 0 && length < MAX_PATH ? data : L"C:\\ProgramData") +
                              std::wstring(L"\\") + WideFromUtf8(KALVOR_STATUS_WINDOWS_FOLDER);
  WIN32_FIND_DATAW entry{};
  const HANDLE found =
      FindFirstFileW((folder + L"\\" + WideFromUtf8(KALVOR_STATUS_PREFIX) + L"*").c_str(), &entry);
  if (found == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
      search.Problems.push_back(Words("cannot look into " + Utf8FromWide(folder), error));
    return search;
  }
  do {
    const std::string name = Utf8FromWide(entry.cFileName);
    const uint32_t pid = EndpointProcessId(name, "");
    if (pid != 0) search.Found.push_back({"\\\\.\\pipe\\" + name, pid});
  } while (FindNextFileW(found, &entry));
  FindClose(found);
  SortByProcess(search);
  return search;
}

std::string AskStatus(const tStatusEndpointInfo& endpoint, const std::string& request,
                      std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  const tHandle pipe(OpenPipe(WideFromUtf8(endpoint.Address), deadline));
  if (pipe.Get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    throw tStatusAskError(Words("cannot connect to " + endpoint.Address, error),
                          error == ERROR_ACCESS_DENIED);
  }
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr);
  const std::string line = request + "\n";
  DWORD done = 0;
  if (!WriteFile(pipe.Get(), line.data(), static_cast<DWORD>(line.size()), &done, nullptr))
    throw tStatusAskError(Words("cannot send to " + endpoint.Address, GetLastError()), false);
  // The answer is one message.
  std::string answer;
  char chunk[4096];
  for (;;) {
    const BOOL whole = ReadFile(pipe.Get(), chunk, sizeof chunk, &done, nullptr);
    answer.append(chunk, done);
    if (whole) return answer;
    if (GetLastError() != ERROR_MORE_DATA)
      throw tStatusAskError(Words("cannot read from " + endpoint.Address, GetLastError()), false);
  }
}

const char* StatusRefusalAdvice() {
  return "only the host's own account and Administrators may ask (run it as one of them)";
}
