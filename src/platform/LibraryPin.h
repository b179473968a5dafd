// Keeping this library loaded while one of its threads still has to leave it.
#pragma once

// Holds the library loaded until the calling thread has ended; the hold is let
// go after the thread's function has returned, so the library may then be
// unloaded without the thread returning into it. For a thread that is stopped
// from inside a call it makes into the host, so that the host may unload the
// library before that call returns.
void KeepLoadedUntilThreadEnds();
