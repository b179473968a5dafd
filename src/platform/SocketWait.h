// Ending, from another thread, a wait of a foreign library's call on a peer
// that does not answer: the call waits on its socket without a limit of its
// own, and only the socket going away ends it.
#pragma once

#include <cstdint>

// The calling thread, as EndSocketWait names it.
int64_t CurrentThreadNumber();

// When the thread is blocked waiting on sockets (polling them, or connecting
// one), shuts them down: the wait returns at once and every later read or
// write on them fails, so the call fails as on a lost connection and cleans up
// after itself; the descriptors stay the caller's to close. False when the
// thread waits on no socket or the platform cannot tell; then nothing is done.
// The thread must not be able to end meanwhile (the caller holds a lock it
// takes on its way out): its stack is read.
bool EndSocketWait(int64_t thread);
