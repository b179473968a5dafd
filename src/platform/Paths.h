// Splitting and rewriting file paths with this platform's delimiters.
#pragma once

#include <string>

// The delimiter this library puts into the paths it builds.
extern const char PathDelimiter;
// Every character that ends a folder part: "/" here, "\", "/" and a drive's ":" on Windows.
extern const char* const PathDelimiters;

// Folder part including the last delimiter; empty when there is none.
std::string ExtractFilePath(const std::string& path);

// The text after the last delimiter.
std::string ExtractFileName(const std::string& path);

// Replaces the extension of the file-name part by ext, or appends ext when there is none.
std::string ChangeFileExt(const std::string& path, const std::string& ext);

// A path as log lines and the host's texts carry it: in Windows-1251 on
// Windows, where paths are kept in UTF-8 (a letter 1251 lacks becomes "?");
// unchanged elsewhere.
std::string PathText(const std::string& path);
