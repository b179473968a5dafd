// The four exported entry points: the host's only door into the library.
#include <kalvor/plugin.h>

#include <atomic>

#include "platform/LibraryUnload.h"
#include "platform/ProcessExit.h"
#include "plugin/uAutomaticPlugInSession.h"
#include "worker/uPlugInConst.h"

// Windows exports by the module definition file, elsewhere by visibility.
#ifdef _WIN32
#define KALVOR_EXPORT extern "C"
#else
#define KALVOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
// The one session. The host promises that Init_Plugin and Finalize_Plugin
// never overlap each other or Command_Plugin; the pointer is atomic all the
// same, so that a host breaking the promise sees no session rather than half
// of one.
std::atomic<tPlugInSession*> Session{nullptr};
// Two Finalize_Plugin calls at once: the second finds the first under way and
// returns, as it would find no session.
std::atomic<bool> Finalizing{false};
bool LifecycleHandlersRegistered = false;

// A host that does not want the name may pass no place for it.
void ReportName(char** NameOut) {
  if (NameOut != nullptr) *NameOut = const_cast<char*>(tPlugInSession::PlugInName());
}

void StopAndRelease(tPlugInSession* session, tStopKind kind) noexcept {
  session->Stop(kind);
  if (!session->OwnedByItsThread()) delete session;
}

// The process ends without Finalize_Plugin. Registered at the first
// Init_Plugin, so it runs before the exit teardown of the database client
// library, which registered its own when it was loaded: the worker still
// detaches through a working client, and the host is called back no more.
// The session object stays, stopped, for host threads that still call in.
void OnProcessExit() {
  if (tPlugInSession* session = Session.load()) session->Stop(tStopKind::ProcessExit);
}

// Unloaded without Finalize_Plugin: the session stops all the same, without
// the worker's Finalize. At process exit (Windows) the other threads were
// ended wherever they stood, perhaps holding the session's locks, and the
// client library may have shut down first: the session is let go of as it is.
void OnLibraryUnload(tUnloadReason reason) {
  tPlugInSession* session = Session.exchange(nullptr);
  if (session == nullptr || reason == tUnloadReason::ProcessExiting) return;
  StopAndRelease(session, tStopKind::Unload);
}
}  // namespace

KALVOR_EXPORT void KALVOR_CALL Init_Plugin(char** NameOut, Callback cb, intptr_t UserValue) {
  try {
    if (Session.load() == nullptr) {
      auto* session = new tPlugInSession();
      session->InitWorker(cb, UserValue);
      Session = session;
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
  tPlugInSession* session = Session.load();
  if (session == nullptr) return Command_NoSession;
  return session->AddCommand(CommandId, Buffer, Size);
}

// Also from inside the callback: the thread then ends when the callback returns.
// The queue is closed before the session is let go of: a command turned away
// means no queued one starts any more.
KALVOR_EXPORT void KALVOR_CALL Finalize_Plugin(void) {
  if (Finalizing.exchange(true)) return;
  tPlugInSession* session = Session.load();
  if (session != nullptr) session->CloseQueue();
  const bool taken = session != nullptr && Session.compare_exchange_strong(session, nullptr);
  Finalizing = false;
  if (taken) StopAndRelease(session, tStopKind::Finalize);
}

