#include "platform/Paths.h"

// Paths are bytes here, as the file system holds them.
std::string PathText(const std::string& path) {
  return path;
}
