// The system's own words for an error, in the log's code page.
#pragma once

#include <string>

// Of the calling thread's last error. Without the line break the system ends
// them with; "error <code>" when it has none.
std::string LastErrorText();
std::string ErrorText(unsigned long error);
