// A LogClient.dll that takes every line and raises in the call its plan names.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "RaisingLogClientControl.h"

#ifdef _WIN64
#define LOGCLIENT_CALL
#else
#define LOGCLIENT_CALL __stdcall
#endif

namespace {
struct tPlan {
  char Entry[16] = {};
  char Kind[16] = {};
  int Call = 0;
};

tPlan Plan;
StandIn::tLogClientCalls Calls;
bool Raised = false;
char FaultedMessage[1024] = {};

void ReadPlan(const char* setting) {
  Plan = {};
  std::sscanf(setting, "%15[a-z]:%15[a-z]:%d", Plan.Entry, Plan.Kind, &Plan.Call);
}

void Raise() {
  Raised = true;
  if (std::strcmp(Plan.Kind, "raise") == 0) RaiseException(StandIn::RaisedCode, 0, 0, nullptr);
  // Not address 0: 32-bit wine may have the lowest pages mapped.
  auto* locked = static_cast<int*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_NOACCESS));
  int* volatile target = locked;
  *target = 1;
}

// Counts the call and raises when the plan says so.
void Enter(const char* entry, std::int32_t& count) {
  if (Raised) ++Calls.AfterFault;
  ++count;
  if (std::strcmp(Plan.Entry, entry) == 0 && count == Plan.Call) Raise();
}
}  // namespace

extern "C" {
__declspec(dllexport) std::uint8_t LOGCLIENT_CALL
    DLL_Initialize(const char* setting, std::int32_t) {
  ReadPlan(setting);
  Calls = {};
  Raised = false;
  FaultedMessage[0] = 0;
  Enter("initialize", Calls.Initialize);
  return 1;
}

__declspec(dllexport) std::uint8_t LOGCLIENT_CALL
    DLL_MessageToLogServer(double, const char*, const char*, const char*, const char* message) {
  if (!Raised) std::snprintf(FaultedMessage, sizeof FaultedMessage, "%s", message);
  Enter("message", Calls.Message);
  return 1;
}

__declspec(dllexport) void LOGCLIENT_CALL DLL_Finalize() {
  Enter("finalize", Calls.Finalize);
}

__declspec(dllexport) void StandIn_LogClientCalls(StandIn::tLogClientCalls* calls) {
  *calls = Calls;
}

// The message of the call that raised, when a message call did.
__declspec(dllexport) void StandIn_FaultedMessage(char* text, int size) {
  const bool message = Raised && std::strcmp(Plan.Entry, "message") == 0;
  std::snprintf(text, static_cast<size_t>(size), "%s", message ? FaultedMessage : "");
}
}
