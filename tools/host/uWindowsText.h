// Texts between 8-bit strings of a given code page and Windows' wide strings,
// for the host side on Windows.
#pragma once

#include <string>

std::wstring Wide(const std::string& text, unsigned codePage);
std::string Narrow(const std::wstring& wide, unsigned codePage);
