#include "platform/AppendFile.h"

std::string PartialWriteText(std::size_t written, std::size_t size) {
  return "the disk took " + std::to_string(written) + " of " + std::to_string(size) + " bytes";
}
