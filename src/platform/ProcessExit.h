// Work to do when the process ends normally (exit, or a return from main).
#pragma once

// Handlers run in the reverse order of their registration: one registered
// after a library was loaded runs before that library's own exit teardown.
// Where the platform also runs them when this library is unloaded, they run
// after the unload step registered with CallAtLibraryUnload.
void CallAtProcessExit(void (*handler)());
