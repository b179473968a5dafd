// Windows-1251 texts shown on a UTF-8 terminal; the bytes sent stay as they are.
#pragma once

#include <string>

std::string Cp1251ToUtf8(const std::string& text);
