// The library's own unload step: the platform calls this while the library is
// being unloaded (or the process ends), before its static objects are destroyed.
#pragma once

void OnLibraryUnload();
