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

std::string TextAt(const std::vector<uint8_t>& buffer, uint32_t base, uint32_t field) {
  const uint64_t offset = uint64_t{base} + WordAt(buffer, base + field);
  const uint64_t length = WordAt(buffer, base + field + 4);
  if (offset + length > buffer.size()) return "<outside the buffer>";
  return std::string(buffer.begin() + offset, buffer.begin() + offset + length);
}

std::vector<uint8_t> StartItemRequest(int32_t menuId) {
  auto request = MakeCommand(24, 100);
  PutWord(request, 16, static_cast<uint32_t>(menuId));
  return request;
}

std::vector<uint8_t> ItemDescRequest(int32_t itemId) {
  auto request = MakeCommand(60, 101);
  PutWord(request, 16, static_cast<uint32_t>(itemId));
  return request;
}

std::vector<uint8_t> ActionRequest(int32_t sessionId, int32_t itemId, const std::string& key) {
  auto request = MakeCommand(static_cast<uint32_t>(32 + key.size()), 102);
  PutWord(request, 16, static_cast<uint32_t>(sessionId));
  PutWord(request, 20, static_cast<uint32_t>(itemId));
  PutWord(request, 24, 32);
  PutWord(request, 28, static_cast<uint32_t>(key.size()));
  std::copy(key.begin(), key.end(), request.begin() + 32);
  return request;
}
