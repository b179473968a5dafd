#include "platform/Paths.h"

std::string ExtractFilePath(const std::string& path) {
  const auto delimiter = path.find_last_of(PathDelimiters);
  return delimiter == std::string::npos ? std::string() : path.substr(0, delimiter + 1);
}

std::string ExtractFileName(const std::string& path) {
  const auto delimiter = path.find_last_of(PathDelimiters);
  return delimiter == std::string::npos ? path : path.substr(delimiter + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const auto nameStart = path.find_last_of(PathDelimiters);
  const auto dot = path.rfind('.');
  const bool hasExt =
      dot != std::string::npos && (nameStart == std::string::npos || dot > nameStart);
  return (hasExt ? path.substr(0, dot) : path) + ext;
}
