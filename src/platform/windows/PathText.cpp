#include "platform/Paths.h"
#include "platform/windows/WideText.h"

std::string PathText(const std::string& path) {
  return CodePageFromWide(WideFromUtf8(path), LogCodePage);
}
