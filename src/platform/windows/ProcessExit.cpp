#include "platform/ProcessExit.h"

// Nothing is registered. Windows ends the process's other threads before any
// library hears of the exit and then runs each library's unload step, this
// one's with ProcessExiting; an exit list of the library's own would run
// later still, after the client library it loaded has shut down.
void CallAtProcessExit(void (*)()) {}
