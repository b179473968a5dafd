// Keeping this library loaded while one of its threads still has to leave it.
#pragma once

// Holds the library loaded until the calling thread has ended; the hold is let
// go after the thread's function has returned, so the library may then be
// unloaded without the thread returning into it. For a thread that is stopped
// from inside a call it makes into the host, so that the host may unload the
// library before that call returns.
void KeepLoadedUntilThreadEnds();

// For the same thread when the host unloads the library from inside that call
// without stopping it first: the unload goes on, but the library's memory stays
// mapped for the rest of the process, so the thread can still return through
// it. False where the platform cannot keep it (Linux before 6.10, 32-bit).
bool KeepMappedThroughUnload();
