// The library's own unload step. The platform runs the step registered here
// while the library is being unloaded (or the process ends), before the
// library's static objects are destroyed; the plugin registers one that stops
// its session.
#pragma once

enum class tUnloadReason {
  // The host unloads the library and the process goes on (dlclose). The step
  // may wait for the session thread, and does so unless it runs on it. Windows,
  // whose unload step runs under the loader lock and must not wait, never
  // unloads the library: it is pinned at its first load.
  LibraryUnloaded,
  // The process ends and its other threads are gone already (Windows ends
  // them before the unload steps): the step must not wait, take a lock those
  // threads may have held, nor call into the database client library.
  ProcessExiting,
};

// The step to run at unload; a later call replaces an earlier one. Until one
// is registered the unload does nothing of the library's own.
void CallAtLibraryUnload(void (*step)(tUnloadReason reason));

// Runs the registered step, if any: called by each platform's unload hook.
void RunLibraryUnloadStep(tUnloadReason reason);
