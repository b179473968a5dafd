// The log tests build paths by appending names to a folder ending in '/'.
#pragma once

#include <string>

#include "support/TempFolder.h"

inline std::string Slashed(const TempFolder& folder) {
  return folder.Path().string() + "/";
}
