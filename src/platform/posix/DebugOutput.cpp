#include "platform/DebugOutput.h"

#include <syslog.h>

// Under the host program's name, as the system log knows it.
void SayToTheSystem(const std::string& text) {
  syslog(LOG_USER | LOG_WARNING, "%s", text.c_str());
}
