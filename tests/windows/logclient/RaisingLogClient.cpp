// A LogClient.dll that takes every line, appends it to "<its own path>.lines",
// and misbehaves as its setting "<entry>:<action>:<argument>" says:
//   initialize|message|finalize:access|<hex code>:<n>  the n-th call of the entry
//       lets an access violation or an exception of that code escape;
//   initialize|message|finalize:block:<text>  a call blocks (a message only
//       when it contains the text) until LogClient_Unblock, 30 s at most;
//   message:internal:  every message, under its own lock, probes a page with
//       IsBadReadPtr, then writes to it and raises a Visual C++ exception,
//       both taken by a frame handler of its own.
#include <windows.h>

#include <excpt.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN64
#define LOGCLIENT_CALL
#else
#define LOGCLIENT_CALL __stdcall
#endif

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {
constexpr DWORD VisualCppException = 0xE06D7363;

char Entry[16];
char Action[16];
char Argument[64];
int Calls[3] = {};
HANDLE Unblocked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
SRWLOCK OwnLock = SRWLOCK_INIT;
// Not address 0: 32-bit wine may have the lowest pages mapped.
int* volatile LockedPage = nullptr;

void LockPage() {
  LockedPage = static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_NOACCESS));
}

void WriteLockedPage() {
  *LockedPage = 1;
}

void RaiseVisualCpp() {
  RaiseException(VisualCppException, 0, 0, nullptr);
}

void Misbehave(const char* entry, int& calls, const char* message) {
  if (std::strcmp(Entry, entry) != 0) return;
  ++calls;
  if (std::strcmp(Action, "block") == 0) {
    if (message == nullptr || std::strstr(message, Argument) != nullptr)
      WaitForSingleObject(Unblocked, 30000);
  } else if (calls == std::atoi(Argument) && std::strcmp(Action, "access") == 0) {
    LockPage();
    WriteLockedPage();
  } else if (calls == std::atoi(Argument)) {
    RaiseException(std::strtoul(Action, nullptr, 16), EXCEPTION_NONCONTINUABLE, 0, nullptr);
  }
}

// The frame handler's remedy: unlock the page written to, or go on after the raise.
bool Resume(const EXCEPTION_RECORD& record) {
  DWORD previous = 0;
  return record.ExceptionCode == VisualCppException ||
         VirtualProtect(LockedPage, 4096, PAGE_READWRITE, &previous) != FALSE;
}
}  // namespace

#ifdef _WIN64
extern "C" LONG LogClientResumeFilter(EXCEPTION_POINTERS* exception, void*) {
  return Resume(*exception->ExceptionRecord) ? EXCEPTION_CONTINUE_EXECUTION
                                             : EXCEPTION_CONTINUE_SEARCH;
}

namespace {
__attribute__((noinline)) void WithOwnHandler(void (*body)()) {
  __try1(LogClientResumeFilter) body();
  __except1
}
}  // namespace
#else
namespace {
EXCEPTION_DISPOSITION __cdecl ResumeHandler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
    return ExceptionContinueSearch;
  return Resume(*record) ? ExceptionContinueExecution : ExceptionContinueSearch;
}

__attribute__((noinline)) void WithOwnHandler(void (*body)()) {
  void* volatile registration[2] = {nullptr, reinterpret_cast<void*>(&ResumeHandler)};
  asm volatile("movl %%fs:0, %0" : "=r"(registration[0]));
  asm volatile("movl %0, %%fs:0" : : "r"(registration) : "memory");
  body();
  asm volatile("movl %0, %%fs:0" : : "r"(registration[0]) : "memory");
}
}  // namespace
#endif

namespace {
void HandleInside() {
  AcquireSRWLockExclusive(&OwnLock);
  LockPage();
  IsBadReadPtr(LockedPage, sizeof(int));
  WithOwnHandler(&WriteLockedPage);
  WithOwnHandler(&RaiseVisualCpp);
  VirtualFree(LockedPage, 0, MEM_RELEASE);
  ReleaseSRWLockExclusive(&OwnLock);
}

void Record(const char* message) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH - 8);
  if (FILE* file = std::fopen(std::strcat(path, ".lines"), "ab")) {
    std::fprintf(file, "%s\n", message);
    std::fclose(file);
  }
}
}  // namespace

extern "C" {
__declspec(dllexport) std::uint8_t LOGCLIENT_CALL
    DLL_Initialize(const char* setting, std::int32_t) {
  Entry[0] = Action[0] = Argument[0] = 0;
  Calls[0] = Calls[1] = Calls[2] = 0;
  ResetEvent(Unblocked);
  std::sscanf(setting, "%15[a-z]:%15[a-zA-Z0-9]:%63[^\r\n]", Entry, Action, Argument);
  Misbehave("initialize", Calls[0], nullptr);
  return 1;
}

__declspec(dllexport) std::uint8_t LOGCLIENT_CALL
    DLL_MessageToLogServer(double, const char*, const char*, const char*, const char* message) {
  if (std::strcmp(Entry, "message") == 0 && std::strcmp(Action, "internal") == 0) HandleInside();
  Misbehave("message", Calls[1], message);
  Record(message);
  return 1;
}

__declspec(dllexport) void LOGCLIENT_CALL DLL_Finalize() {
  Misbehave("finalize", Calls[2], nullptr);
}

__declspec(dllexport) void LOGCLIENT_CALL LogClient_Unblock() {
  SetEvent(Unblocked);
}

// The host's own logging through the library, as a thread's function.
__declspec(dllexport) DWORD WINAPI LogClient_HostLine(void*) {
  return DLL_MessageToLogServer(0.0, "host.exe", "host.exe", "", "the host's own line");
}
}
