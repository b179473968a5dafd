// Paths are UTF-8 texts in this tool, on every system: a folder named in any
// language is named whole (std::filesystem's own narrow form on Windows is
// the ANSI code page, which spells only some).
#pragma once

#include <filesystem>
#include <string>

std::string Utf8(const std::filesystem::path& path);
std::filesystem::path PathFromUtf8(const std::string& text);
