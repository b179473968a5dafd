// A plugin that accepts every command and never answers: the host's time-out
// path needs a callback that does not come.
#include "kalvor/plugin.h"

namespace {
char Name[] = "Silent";
}

extern "C" {

void Init_Plugin(char** NameOut, Callback, intptr_t) {
  *NameOut = Name;
}

void GetName_Plugin(char** NameOut) {
  *NameOut = Name;
}

int32_t Command_Plugin(int32_t, void*, int32_t) {
  return 0;
}

void Finalize_Plugin(void) {}
}
