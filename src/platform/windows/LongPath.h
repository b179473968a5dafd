// Paths for the wide file functions, which take them past MAX_PATH.
#pragma once

#include <string>

// The UTF-8 path made absolute and backslashed, with
// the "\\?\" (or "\\?\UNC\") prefix that lifts the MAX_PATH limit. A path that
// cannot be made absolute is returned only widened.
std::wstring LongPathForm(const std::string& path);
