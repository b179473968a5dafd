// The four exported entry points: the host's only door into the library.
#include <kalvor/plugin.h>

#include "platform/LibraryUnload.h"
#include "plugin/uAutomaticPlugInSession.h"
#include "worker/uPlugInConst.h"

#define KALVOR_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
// The one session. The host promises that Init_Plugin and Finalize_Plugin
// never overlap each other or Command_Plugin, so no lock guards it.
tPlugInSession* Session = nullptr;

char* PlugInNameCharacters() {
  return const_cast<char*>(tPlugInSession::PlugInName().c_str());
}

void DestroySession() noexcept {
  delete Session;
  Session = nullptr;
}
}  // namespace

KALVOR_EXPORT void Init_Plugin(char** NameOut, Callback cb, intptr_t UserValue) {
  try {
    if (Session == nullptr) {
      Session = new tPlugInSession();
      Session->InitWorker(cb, UserValue);
    }
  } catch (...) {
  }
  *NameOut = PlugInNameCharacters();
}

KALVOR_EXPORT void GetName_Plugin(char** NameOut) {
  *NameOut = PlugInNameCharacters();
}

KALVOR_EXPORT int32_t Command_Plugin(int32_t CommandId, void* Buffer, int32_t Size) {
  if (Session == nullptr) return Command_NoSession;
  return Session->AddCommand(CommandId, Buffer, Size);
}

KALVOR_EXPORT void Finalize_Plugin(void) {
  if (Session == nullptr) return;
  Session->FinalizeWorker();
  DestroySession();
}

// Unloaded without Finalize_Plugin: stop the session all the same, without the
// worker's Finalize.
void OnLibraryUnload() {
  DestroySession();
}
