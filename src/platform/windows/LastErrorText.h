// The system's own words for the calling thread's last error.
#pragma once

#include <string>

// Without the line break the system ends them with; "error <code>" when it has none.
std::string LastErrorText();
