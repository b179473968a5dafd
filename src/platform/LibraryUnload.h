// The library's own unload step. The platform calls OnLibraryUnload while the
// library is being unloaded (or the process ends), before the library's static
// objects are destroyed; the plugin implements it by stopping its session.
#pragma once

enum class tUnloadReason {
  // The host unloads the library and the process goes on (dlclose,
  // FreeLibrary). The step may wait for the session thread, and does so unless
  // it runs on it. On Windows, where it runs under the loader lock, the thread
  // keeps the library loaded for as long as it runs (tLibraryHold), so there
  // is none to wait for.
  LibraryUnloaded,
  // A step that must not wait for any thread nor call into the database client
  // library, such as one run after the process's other threads are gone: the
  // session thread is abandoned.
  ProcessExiting,
};

void OnLibraryUnload(tUnloadReason reason);
