// The four exported entry points: the host's only door into the library.
#include <kalvor/plugin.h>

#include "platform/LibraryUnload.h"
#include "platform/ModulePaths.h"
#include "platform/ProcessExit.h"
#include "plugin/tSessionSlot.h"
#include "plugin/uAutomaticPlugInSession.h"
#include "plugin/uCoreEntries.h"
#include "worker/uPlugInConst.h"

// Windows exports by the module definition file, elsewhere by visibility.
#ifdef _WIN32
#define KALVOR_EXPORT extern "C"
#else
#define KALVOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
// The one session. A call that meets a session being finalized on another
// thread holds it until the call returns and is answered 1 at once.
tSessionSlot Session;
bool LifecycleHandlersRegistered = false;

// A host that does not want the name may pass no place for it.
void ReportName(char** NameOut) {
  if (NameOut != nullptr) *NameOut = const_cast<char*>(tPlugInSession::PlugInName());
}

// The process ends without Finalize_Plugin. Registered at the first
// Init_Plugin, so it runs before the exit teardown of the database client
// library, which registered its own when it was loaded: the worker still
// detaches through a working client, and the host is called back no more.
// The session object stays, stopped, for host threads that still call in.
void OnProcessExit() {
  if (tSessionReference session = Session.Find()) session->Stop(tStopKind::ProcessExit);
  tPlugInSession::WaitForEndingSessions();
}

// Unloaded without Finalize_Plugin: the session stops all the same, without
// the worker's Finalize. At process exit (Windows) the other threads were
// ended wherever they stood, perhaps holding the session's locks, and the
// client library may have shut down first: the session is let go of as it is.
void OnLibraryUnload(tUnloadReason reason) {
  tSessionReference session = Session.Take();
  if (!session) return;
  if (reason == tUnloadReason::ProcessExiting)
    session.Abandon();
  else
    session->Stop(tStopKind::Unload);
}
}  // namespace

KALVOR_EXPORT void KALVOR_CALL Init_Plugin(char** NameOut, Callback cb, intptr_t UserValue) {
  try {
    tPlugInSession::WaitForEndingSessions();
    if (!Session.Find()) {
      tSessionReference session(new tPlugInSession());
      session->InitWorker(cb, UserValue);
      if (Session.Place(session.Get())) session.Abandon();
      if (!LifecycleHandlersRegistered) {
        CallAtProcessExit(&OnProcessExit);
        CallAtLibraryUnload(&OnLibraryUnload);
      }
      LifecycleHandlersRegistered = true;
    }
  } catch (...) {
  }
  ReportName(NameOut);
}

KALVOR_EXPORT void KALVOR_CALL GetName_Plugin(char** NameOut) {
  ReportName(NameOut);
}

KALVOR_EXPORT int32_t KALVOR_CALL Command_Plugin(int32_t CommandId, void* Buffer, int32_t Size) {
  const tSessionReference session = Session.Find();
  if (!session) return Command_NoSession;
  return session->AddCommand(CommandId, Buffer, Size);
}

// Also from inside the callback: the thread then ends when the callback returns.
// The queue is closed before the session is taken out: a command turned away
// means no queued one starts any more. A second call at the same time finds
// no session and returns.
KALVOR_EXPORT void KALVOR_CALL Finalize_Plugin(void) {
  if (const tSessionReference found = Session.Find()) found->CloseQueue();
  if (const tSessionReference session = Session.Take()) session->Stop(tStopKind::Finalize);
}

#ifdef _WIN32
// The core of the Windows plugin: Kalvor.dll, the front the host loads, holds
// no runtime and no thread and is unloaded for real; this library, which the
// C++ runtime keeps from unloading cleanly, stays loaded for the process and
// is reached through the front alone.
namespace {
// The front is unloaded without Finalize_Plugin; under the loader lock.
void OnFrontUnloaded() {
  if (const tSessionReference session = Session.Take()) session->Stop(tStopKind::FrontUnloaded);
}

constexpr tKalvorCore CoreEntries = {sizeof(tKalvorCore), &Init_Plugin,     &GetName_Plugin,
                                     &Command_Plugin,     &Finalize_Plugin, &OnFrontUnloaded};
}  // namespace

KALVOR_EXPORT const tKalvorCore* KalvorCore_Open(const wchar_t* FrontPath) {
  try {
    UseFrontLibraryPath(FrontPath);
  } catch (...) {
    return nullptr;
  }
  return &CoreEntries;
}
#endif
