// Texts between the library's 8-bit strings and the wide strings of Windows.
// Paths are kept in UTF-8 inside the library, so that a folder named in any
// language reaches the wide file functions whole; texts for the log and the
// host are Windows-1251.
#pragma once

#include <string>

inline constexpr unsigned LogCodePage = 1251;

std::wstring WideFromUtf8(const std::string& text);
std::wstring WideFromCodePage(const std::string& text, unsigned codePage);
std::string Utf8FromWide(const std::wstring& text);
// A character the code page lacks becomes "?".
std::string CodePageFromWide(const std::wstring& text, unsigned codePage);
