#include "platform/SignalDispositions.h"

// Windows ends a process by console control events and TerminateProcess, not
// by signal dispositions a library could replace: nothing to keep.
struct tSignalDispositionsKeeper::tSaved {};

tSignalDispositionsKeeper::tSignalDispositionsKeeper() = default;

tSignalDispositionsKeeper::~tSignalDispositionsKeeper() = default;
