#include "dynmenu/uByteView.h"

#include <cstring>

bool tConstByteView::Holds(uint64_t offset, uint64_t length) const {
  return offset <= Size && length <= Size - offset;
}

void tConstByteView::Check(uint64_t offset, uint64_t length) const {
  if (!Holds(offset, length))
    throw tLayoutError("field at offset " + std::to_string(offset) + " of length " +
                       std::to_string(length) + " lies outside a buffer of " +
                       std::to_string(Size) + " bytes");
}

uint32_t tConstByteView::ReadU32(uint64_t offset) const {
  Check(offset, 4);
  return ReadLE32(Data + offset);
}

int32_t tConstByteView::ReadI32(uint64_t offset) const {
  return static_cast<int32_t>(ReadU32(offset));
}

std::string tConstByteView::ReadBytes(uint64_t offset, uint64_t length) const {
  Check(offset, length);
  if (length == 0) return {};
  return std::string(reinterpret_cast<const char*>(Data + offset), length);
}

void tByteView::WriteU32(uint64_t offset, uint32_t value) {
  Check(offset, 4);
  WriteLE32(Writable + offset, value);
}

void tByteView::WriteI32(uint64_t offset, int32_t value) {
  WriteU32(offset, static_cast<uint32_t>(value));
}

void tByteView::WriteBytes(uint64_t offset, const std::string& bytes) {
  Check(offset, bytes.size());
  if (!bytes.empty()) std::memcpy(Writable + offset, bytes.data(), bytes.size());
}

void tByteView::Fill(uint64_t offset, uint64_t length, uint8_t value) {
  Check(offset, length);
  if (length != 0) std::memset(Writable + offset, value, length);
}
