#include "log/tUniLog.h"

#include <system_error>
#include <utility>

#include "log/uLog.h"
#include "log/uModule.h"
#include "platform/Format.h"
#include "platform/Paths.h"

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
  if (ClientMessage != nullptr) {
    try {
      ClientThread = std::make_unique<tLogClientThread>(LogClientPatience);
    } catch (const std::system_error&) {
      // Without a thread of its own the library is not used: lines go to the file.
    }
  }
  if (!ClientThread) {
    ClientInitialize = nullptr;
    ClientFinalize = nullptr;
    ClientMessage = nullptr;
    UnloadLibrary(ClientLibrary);
    return;
  }
  // Its answer decides nothing: lines are offered to the library either way.
  CallClient("DLL_Initialize", [entry = ClientInitialize, Setting] {
    return entry(Setting.c_str(), ClientInitializeValue) != 0;
  });
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

// A library that raised or still runs a call is kept loaded: it may hold
// threads or state that its unloading would trip over.
void tUniLog::ReleaseClient() noexcept {
  try {
    CallClient("DLL_Finalize", [entry = ClientFinalize] {
      entry();
      return true;
    });
  } catch (...) {
  }
  ClientThread.reset();
  ClientInitialize = nullptr;
  ClientFinalize = nullptr;
  ClientMessage = nullptr;
  if (ClientDropped.load())
    ClientLibrary.KeepLoaded();
  else
    UnloadLibrary(ClientLibrary);
}

std::optional<bool> tUniLog::CallClient(const char* Entry, std::function<bool()> Call) {
  if (!ClientThread || ClientDropped.load()) return std::nullopt;
  const tClientCallResult result = ClientThread->Run(std::move(Call));
  if (result.End == tClientCallEnd::Returned) return result.Answer;
  if (result.End == tClientCallEnd::Raised)
    DropClient("raised " + FaultText(result.Outcome) + " in " + Entry);
  if (result.End == tClientCallEnd::Overran)
    DropClient(Format("did not return from %s within %lld s", Entry,
                      static_cast<long long>(LogClientPatience.count())));
  return std::nullopt;
}

void tUniLog::DropClient(const std::string& What) {
  if (ClientDropped.exchange(true)) return;
  tTimeSeparatedFileLog::WriteLine(ClientFileName + " " + What +
                                   ": the log client is called no more, lines go to this file");
}

// The call gets copies of the texts: a call that overran still reads them.
bool tUniLog::TakenByClient(bool Stamped, const std::string& Prefix, const std::string& Message) {
  if (!ClientThread || ClientDropped.load()) return false;
  const double time = Stamped ? Now().OleDate() : 0.0;
  return CallClient("DLL_MessageToLogServer",
                    [entry = ClientMessage, time, host = std::string(HostFileName()),
                     module = std::string(ModuleFileName()), Prefix, Message] {
                      return entry(time, host.c_str(), module.c_str(), Prefix.c_str(),
                                   Message.c_str()) != 0;
                    })
      .value_or(false);
}

void tUniLog::SayUnwritable(const std::string& Text) {
  if (!TakenByClient(true, {}, Text)) tTimeSeparatedFileLog::SayUnwritable(Text);
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
