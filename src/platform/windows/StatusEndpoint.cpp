#include "platform/StatusEndpoint.h"

#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <kalvor/status_channel.h>

#include <algorithm>

#include "platform/windows/LastErrorText.h"
#include "platform/windows/WideText.h"

namespace {
constexpr DWORD AnswerBufferBytes = 64 * 1024;
constexpr DWORD RequestBufferBytes = 4 * 1024;
constexpr DWORD AcceptPauseMs = 100;

class tHandle {
 public:
  explicit tHandle(HANDLE handle = nullptr) : Handle(handle) {}
  ~tHandle() { Reset(nullptr); }
  tHandle(const tHandle&) = delete;
  tHandle& operator=(const tHandle&) = delete;
  HANDLE Get() const { return Handle; }
  void Reset(HANDLE handle) {
    if (Handle != nullptr && Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    Handle = handle;
  }

 private:
  HANDLE Handle;
};

tStatusEndpointError Failure(const std::string& what) {
  return tStatusEndpointError(what + ": " + LastErrorText());
}

// The process's own account as an SDDL SID string.
std::wstring OwnAccountSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    throw Failure("cannot open the process's token");
  const tHandle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
    throw Failure("cannot read the process's account");
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
    throw Failure("cannot name the process's account");
  std::wstring sid(text);
  LocalFree(text);
  return sid;
}

// The host's own account and Administrators, nobody from the network.
class tSecurity {
 public:
  tSecurity() {
    const std::wstring sddl = L"D:P(D;;GA;;;NU)(A;;GA;;;" + OwnAccountSid() + L")(A;;GA;;;BA)";
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &Descriptor, nullptr))
      throw Failure("cannot build the pipe's security descriptor");
    Attributes.nLength = sizeof Attributes;
    Attributes.lpSecurityDescriptor = Descriptor;
    Attributes.bInheritHandle = FALSE;
  }
  ~tSecurity() { LocalFree(Descriptor); }
  tSecurity(const tSecurity&) = delete;
  tSecurity& operator=(const tSecurity&) = delete;

  SECURITY_ATTRIBUTES Attributes{};

 private:
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
};

DWORD MillisecondsLeft(tStatusDeadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<DWORD>(std::clamp<long long>(left.count(), 0, 60'000));
}

// Where a tool finds the pipes: an empty file of each pipe's name, which the
// system deletes when the plugin closes it or its process ends.
std::wstring BeaconFolder() {
  wchar_t data[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(L"ProgramData", data, MAX_PATH);
  const std::wstring base = length > 0 && length < MAX_PATH ? data : L"C:\\ProgramData";
  return base + L"\\" + WideFromUtf8(KALVOR_STATUS_WINDOWS_FOLDER);
}

HANDLE MakeBeacon(const std::string& pipeName) {
  const std::wstring folder = BeaconFolder();
  CreateDirectoryW(folder.substr(0, folder.rfind(L'\\')).c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::string fileName = pipeName.substr(pipeName.rfind('\\') + 1);
  const HANDLE beacon = CreateFileW((folder + L"\\" + WideFromUtf8(fileName)).c_str(),
                                    GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (beacon == INVALID_HANDLE_VALUE)
    throw Failure("cannot announce the pipe in the folder of pipes");
  return beacon;
}
}  // namespace

struct tStatusEndpoint::tImpl {
  std::string Name;
  tHandle Pipe;
  tHandle Beacon;
  tHandle StopEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  tHandle IoEvent{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

  // Waits for the overlapped operation the caller began (startError: its
  // call's error, 0 when it ended at once) until it ends, the time runs out
  // or the endpoint stops; one that did not end is cancelled. The bytes it
  // moved, and its error (0 when it succeeded).
  DWORD Finish(DWORD startError, OVERLAPPED& io, DWORD timeoutMs, DWORD& moved) {
    moved = 0;
    if (startError == ERROR_IO_PENDING) {
      const HANDLE events[2] = {io.hEvent, StopEvent.Get()};
      if (WaitForMultipleObjects(2, events, FALSE, timeoutMs) != WAIT_OBJECT_0)
        CancelIo(Pipe.Get());
    } else if (startError != 0 && startError != ERROR_MORE_DATA) {
      return startError;
    }
    return GetOverlappedResult(Pipe.Get(), &io, &moved, TRUE) ? 0 : GetLastError();
  }

  OVERLAPPED NewIo() {
    OVERLAPPED io{};
    io.hEvent = IoEvent.Get();
    ResetEvent(io.hEvent);
    return io;
  }

  bool Stopped() const { return WaitForSingleObject(StopEvent.Get(), 0) == WAIT_OBJECT_0; }
};

namespace {
class tPipeConnection : public tStatusConnection {
 public:
  explicit tPipeConnection(tStatusEndpoint::tImpl& endpoint) : Endpoint(endpoint) {}
  ~tPipeConnection() override { DisconnectNamedPipe(Endpoint.Pipe.Get()); }

  std::string ReadRequest(std::size_t limit, tStatusDeadline deadline) override {
    std::string request;
    while (request.size() < limit && request.find('\n') == std::string::npos) {
      std::string chunk(std::min<std::size_t>(limit - request.size(), RequestBufferBytes), '\0');
      OVERLAPPED io = Endpoint.NewIo();
      const DWORD start = ReadFile(Endpoint.Pipe.Get(), chunk.data(),
                                   static_cast<DWORD>(chunk.size()), nullptr, &io)
                              ? 0
                              : GetLastError();
      DWORD got = 0;
      const DWORD error = Endpoint.Finish(start, io, MillisecondsLeft(deadline), got);
      request.append(chunk.data(), got);
      if (error != 0 && error != ERROR_MORE_DATA) break;
    }
    return request;
  }

  // The answer is one message; the client has taken it once it closes its end.
  void WriteAnswer(const std::string& answer, tStatusDeadline deadline) override {
    OVERLAPPED io = Endpoint.NewIo();
    const DWORD start = WriteFile(Endpoint.Pipe.Get(), answer.data(),
                                  static_cast<DWORD>(answer.size()), nullptr, &io)
                            ? 0
                            : GetLastError();
    DWORD moved = 0;
    if (Endpoint.Finish(start, io, MillisecondsLeft(deadline), moved) != 0) return;
    char ignored[64];
    for (DWORD error = 0; error == 0 || error == ERROR_MORE_DATA;) {
      if (MillisecondsLeft(deadline) == 0) return;
      io = Endpoint.NewIo();
      const DWORD read =
          ReadFile(Endpoint.Pipe.Get(), ignored, sizeof ignored, nullptr, &io) ? 0 : GetLastError();
      error = Endpoint.Finish(read, io, MillisecondsLeft(deadline), moved);
    }
  }

 private:
  tStatusEndpoint::tImpl& Endpoint;
};
}  // namespace

tStatusEndpoint::tStatusEndpoint(const std::string& pluginName, const std::string&)
    : Impl(std::make_unique<tImpl>()) {
  Impl->Name = KALVOR_STATUS_PIPE_PREFIX + StatusEndpointName(pluginName) + "-" +
               std::to_string(GetCurrentProcessId());
  if (Impl->StopEvent.Get() == nullptr || Impl->IoEvent.Get() == nullptr)
    throw Failure("cannot make an event");
  tSecurity security;
  // The first instance: a pipe of that name made by someone else is not ours.
  const HANDLE pipe = CreateNamedPipeW(
      WideFromUtf8(Impl->Name).c_str(),
      PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      AnswerBufferBytes, RequestBufferBytes, 0, &security.Attributes);
  if (pipe == INVALID_HANDLE_VALUE) throw Failure("cannot make the pipe " + Impl->Name);
  Impl->Pipe.Reset(pipe);
  Impl->Beacon.Reset(MakeBeacon(Impl->Name));
}

tStatusEndpoint::~tStatusEndpoint() = default;

std::string tStatusEndpoint::Description() const {
  return Impl->Name + " (this account and Administrators)";
}

std::unique_ptr<tStatusConnection> tStatusEndpoint::Accept() {
  while (!Impl->Stopped()) {
    OVERLAPPED io = Impl->NewIo();
    DWORD error = ConnectNamedPipe(Impl->Pipe.Get(), &io) ? 0 : GetLastError();
    if (error == ERROR_PIPE_CONNECTED) error = 0;
    DWORD moved = 0;
    if (error == ERROR_IO_PENDING) error = Impl->Finish(error, io, INFINITE, moved);
    if (error == 0 && !Impl->Stopped()) return std::make_unique<tPipeConnection>(*Impl);
    // A client that came and went before it was taken: the pipe is made free
    // again. Any other failure is tried again after a pause.
    DisconnectNamedPipe(Impl->Pipe.Get());
    if (error != ERROR_NO_DATA) WaitForSingleObject(Impl->StopEvent.Get(), AcceptPauseMs);
  }
  return nullptr;
}

void tStatusEndpoint::Stop() noexcept {
  SetEvent(Impl->StopEvent.Get());
}
