// The library's own unload step. The platform calls OnLibraryUnload while the
// library is being unloaded (or the process ends), before the library's static
// objects are destroyed; the plugin implements it by stopping its session.
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

void OnLibraryUnload(tUnloadReason reason);
