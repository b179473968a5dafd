// Values from outside the library (the host's keys, texts from the database)
// as they are written into a log line.
#pragma once

#include <string>

// Control bytes come as \r, \n, \t or \xHH, a backslash as \\ and a double
// quote as \", so that a value can neither end its line, forge the next one,
// nor end the quotes it is written in. Other bytes, the Windows-1251 letters
// among them, stay as they are.
std::string LogValue(const std::string& value);
