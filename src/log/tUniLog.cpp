#include "log/tUniLog.h"

#include <utility>

#include "log/uLog.h"
#include "log/uModule.h"
#include "platform/Paths.h"
#include "worker/uFormat.h"

namespace {
// The integer the client library's initialisation has always been handed.
constexpr std::int32_t ClientInitializeValue = 500;

template <typename tEntry>
tEntry EntryOf(const tDynamicLibrary& library, const char* name) {
  return reinterpret_cast<tEntry>(GetLibraryProc(library, name));
}

std::string FaultText(const tForeignCallOutcome& outcome) {
  if (outcome.FaultCode == 0) return "a C++ exception";
  return Format("exception 0x%08X", static_cast<unsigned>(outcome.FaultCode));
}
}  // namespace

std::string LogClientLibraryName() {
  return std::string("LogClient") + DynamicLibraryExtension;
}

tUniLog::tUniLog(const std::string& Pattern, const std::string& Setting,
                 const std::string& ClientLibraryName, tLocalClock Clock)
    : tTimeSeparatedFileLog(Pattern, std::move(Clock)),
      ClientFileName(ExtractFileName(ClientLibraryName)) {
  if (Setting.empty()) return;
  try {
    LoadLogClient(Setting, ClientLibraryName);
  } catch (...) {
    // The destructor will not run for a half-built object, so finish the library here.
    ReleaseClient();
    throw;
  }
}

tUniLog::~tUniLog() {
  ReleaseClient();
}

void tUniLog::LoadLogClient(const std::string& Setting, const std::string& ClientLibraryName) {
  ClientLibrary = LoadLibraryWithFallback(ClientLibraryName);
  if (!ClientLibrary.IsLoaded()) return;
  BindEntries();
  if (ClientMessage == nullptr) {
    UnloadLibrary(ClientLibrary);
    return;
  }
  // Its answer decides nothing: lines are offered to the library either way.
  auto initialize = [&] { ClientInitialize(Setting.c_str(), ClientInitializeValue); };
  const tForeignCallOutcome outcome = RunForeignCall(initialize);
  if (!outcome.Completed) DropFaultedClient("DLL_Initialize", outcome);
  WriteLine("Log client library loaded from " + ClientLibrary.FilePath());
}

void tUniLog::BindEntries() {
  ClientInitialize = EntryOf<tDLLInitialize>(ClientLibrary, "DLL_Initialize");
  ClientFinalize = EntryOf<tDLLFinalize>(ClientLibrary, "DLL_Finalize");
  ClientMessage = EntryOf<tDLLMessageToLogServer>(ClientLibrary, "DLL_MessageToLogServer");
  // All three or none: a library short of one entry is not used at all.
  if (ClientInitialize == nullptr || ClientFinalize == nullptr || ClientMessage == nullptr) {
    ClientInitialize = nullptr;
    ClientFinalize = nullptr;
    ClientMessage = nullptr;
  }
}

void tUniLog::ReleaseClient() noexcept {
  if (ClientFinalize != nullptr && !ClientFaulted.load()) {
    const tForeignCallOutcome outcome = RunForeignCall(ClientFinalize);
    if (!outcome.Completed) DropFaultedClient("DLL_Finalize", outcome);
  }
  ClientInitialize = nullptr;
  ClientFinalize = nullptr;
  ClientMessage = nullptr;
  if (ClientFaulted.load())
    ClientLibrary.KeepLoaded();
  else
    UnloadLibrary(ClientLibrary);
}

void tUniLog::DropFaultedClient(const char* Entry, const tForeignCallOutcome& Outcome) {
  if (ClientFaulted.exchange(true)) return;
  tTimeSeparatedFileLog::WriteLine(ClientFileName + " raised " + FaultText(Outcome) + " in " +
                                   Entry +
                                   ": the log client is called no more, lines go to "
                                   "this file");
}

bool tUniLog::TakenByClient(bool Stamped, const std::string& Prefix, const std::string& Message) {
  if (ClientMessage == nullptr || ClientFaulted.load()) return false;
  const double time = Stamped ? Now().OleDate() : 0.0;
  bool taken = false;
  auto offer = [&] {
    taken = ClientMessage(time, HostFileName(), ModuleFileName(), Prefix.c_str(),
                          Message.c_str()) != 0;
  };
  const tForeignCallOutcome outcome = RunForeignCall(offer);
  if (outcome.Completed) return taken;
  DropFaultedClient("DLL_MessageToLogServer", outcome);
  return false;
}

bool tUniLog::WriteLine(const std::string& Message) {
  return TakenByClient(true, {}, Message) || tTimeSeparatedFileLog::WriteLine(Message);
}

bool tUniLog::WriteLineTo(const std::string& Message, const std::string& Prefix) {
  return TakenByClient(true, Prefix, Message) ||
         tTimeSeparatedFileLog::WriteLineTo(Message, Prefix);
}

bool tUniLog::WritePlainLine(const std::string& Message) {
  return TakenByClient(false, {}, Message) || tTimeSeparatedFileLog::WritePlainLine(Message);
}

bool tUniLog::WritePlainLineTo(const std::string& Message, const std::string& Prefix) {
  return TakenByClient(false, Prefix, Message) ||
         tTimeSeparatedFileLog::WritePlainLineTo(Message, Prefix);
}
