#include "support/CommandBuffers.h"

#include <algorithm>

std::vector<uint8_t> MakeCommand(uint32_t sizeWord, int32_t command, uint32_t length) {
  std::vector<uint8_t> buffer(length != 0 ? length : std::max<uint32_t>(sizeWord, 16), 0);
  PutWord(buffer, 0, sizeWord);
  if (buffer.size() >= 8) PutWord(buffer, 4, static_cast<uint32_t>(command));
  return buffer;
}

uint32_t WordAt(const std::vector<uint8_t>& buffer, uint32_t offset) {
  return static_cast<uint32_t>(buffer.at(offset)) |
         static_cast<uint32_t>(buffer.at(offset + 1)) << 8 |
         static_cast<uint32_t>(buffer.at(offset + 2)) << 16 |
         static_cast<uint32_t>(buffer.at(offset + 3)) << 24;
}

int32_t SignedWordAt(const std::vector<uint8_t>& buffer, uint32_t offset) {
  return static_cast<int32_t>(WordAt(buffer, offset));
}

void PutWord(std::vector<uint8_t>& buffer, uint32_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) buffer.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
}
