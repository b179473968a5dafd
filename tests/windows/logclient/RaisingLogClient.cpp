// A LogClient.dll that takes every line, appends it to "<its own path>.lines",
// and raises in the call its setting names: "<entry>:<kind>:<n>" makes the
// n-th call of initialize, message or finalize raise an access violation (kind
// "access") or exception 0xE0000042.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#ifdef _WIN64
#define LOGCLIENT_CALL
#else
#define LOGCLIENT_CALL __stdcall
#endif

namespace {
char Entry[16];
char Kind[16];
int RaisingCall = 0;
int Calls[3] = {};

void Enter(const char* entry, int& calls) {
  if (std::strcmp(Entry, entry) != 0 || ++calls != RaisingCall) return;
  if (std::strcmp(Kind, "access") != 0) RaiseException(0xE0000042, 0, 0, nullptr);
  // Not address 0: 32-bit wine may have the lowest pages mapped.
  int* volatile locked = static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_NOACCESS));
  *locked = 1;
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
  Entry[0] = Kind[0] = 0;
  Calls[0] = Calls[1] = Calls[2] = 0;
  std::sscanf(setting, "%15[a-z]:%15[a-z]:%d", Entry, Kind, &RaisingCall);
  Enter("initialize", Calls[0]);
  return 1;
}

__declspec(dllexport) std::uint8_t LOGCLIENT_CALL
    DLL_MessageToLogServer(double, const char*, const char*, const char*, const char* message) {
  Enter("message", Calls[1]);
  Record(message);
  return 1;
}

__declspec(dllexport) void LOGCLIENT_CALL DLL_Finalize() {
  Enter("finalize", Calls[2]);
}
}
