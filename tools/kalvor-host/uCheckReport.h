// A menu check printed one line per finding, as text or as JSON.
#pragma once

#include <string>

#include "uMenuCheck.h"

// "error: <message> [code]" lines, then a summary line.
std::string CheckText(const tMenuCheck& check);
// One JSON object whose findings array holds one finding per line.
std::string CheckJson(const tMenuCheck& check);
