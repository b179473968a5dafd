// Where a text goes when the log itself cannot take it: the system debugger's
// output on Windows (DebugView, a debugger), the system log elsewhere.
#pragma once

#include <string>

// The text in the log's code page.
void SayToTheSystem(const std::string& text);
