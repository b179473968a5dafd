// A LogClient.dll that takes every line, appends it to "<its own path>.lines",
// and misbehaves as its setting "<entry>:<action>:<argument>" says:
//   initialize|message|finalize:access|<hex code>:<n>  the n-th call of the entry
//       lets an access violation or an exception of that code escape;
//   initialize|message|finalize:block:<text>  a call blocks (a message only
//       when it contains the text) until LogClient_Unblock, 30 s at most;
//   message:internal:  every message raises and handles inside itself, under
//       its own lock: IsBadReadPtr's probe, an access violation and a Visual
//       C++ exception, each taken by a frame handler of its own.
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

namespace {
constexpr DWORD VisualCppException = 0xE06D7363;

char Entry[16];
char Action[16];
char Argument[64];
int Calls[3] = {};
HANDLE Unblocked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
CRITICAL_SECTION OwnLock;
bool OwnLockMade = [] {
  InitializeCriticalSection(&OwnLock);
  return true;
}();

void* LockedPage() {
  return VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_NOACCESS);
}

void Misbehave(const char* entry, int& calls, const char* message) {
  if (std::strcmp(Entry, entry) != 0) return;
  ++calls;
  if (std::strcmp(Action, "block") == 0) {
    if (message == nullptr || std::strstr(message, Argument) != nullptr)
      WaitForSingleObject(Unblocked, 30000);
    return;
  }
  if (calls != std::atoi(Argument)) return;
  if (std::strcmp(Action, "access") == 0) {
    // Not address 0: 32-bit wine may have the lowest pages mapped.
    *static_cast<volatile int*>(LockedPage()) = 1;
    return;
  }
  RaiseException(std::strtoul(Action, nullptr, 16), EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

// The faults handled inside: the handler unlocks the page written to, or
// resumes after the raised exception.
int* volatile WrittenPage = nullptr;

bool Resume(const EXCEPTION_RECORD& record) {
  if (record.ExceptionCode == VisualCppException) return true;
  DWORD previous = 0;
  return WrittenPage != nullptr &&
         VirtualProtect(WrittenPage, 4096, PAGE_READWRITE, &previous) != FALSE;
}

void WriteLockedPage() {
  *WrittenPage = 1;
}

void RaiseVisualCpp() {
  RaiseException(VisualCppException, 0, 0, nullptr);
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
struct tRegistration {
  tRegistration* Previous;
  void* Handler;
};

EXCEPTION_DISPOSITION __cdecl ResumeHandler(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
    return ExceptionContinueSearch;
  return Resume(*record) ? ExceptionContinueExecution : ExceptionContinueSearch;
}

__attribute__((noinline)) void WithOwnHandler(void (*body)()) {
  volatile tRegistration registration;
  asm volatile("movl %%fs:0, %0" : "=r"(registration.Previous));
  registration.Handler = reinterpret_cast<void*>(&ResumeHandler);
  asm volatile("movl %0, %%fs:0" : : "r"(&registration) : "memory");
  body();
  asm volatile("movl %0, %%fs:0" : : "r"(registration.Previous) : "memory");
}
}  // namespace
#endif

namespace {
void HandleInside() {
  EnterCriticalSection(&OwnLock);
  void* probed = LockedPage();
  IsBadReadPtr(probed, sizeof(int));
  WrittenPage = static_cast<int*>(LockedPage());
  WithOwnHandler(&WriteLockedPage);
  WithOwnHandler(&RaiseVisualCpp);
  VirtualFree(probed, 0, MEM_RELEASE);
  VirtualFree(WrittenPage, 0, MEM_RELEASE);
  LeaveCriticalSection(&OwnLock);
}

void Record(const char* message) {
  char path[MAX_PATH] = {};
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<const char*>(&Record), &self);
  GetModuleFileNameA(self, path, MAX_PATH - 8);
  std::strcat(path, ".lines");
  if (FILE* file = std::fopen(path, "ab")) {
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
}
