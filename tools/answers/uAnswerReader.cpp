#include "uAnswerReader.h"

#include <kalvor/menu_commands.h>

bool tAnswerReader::Holds(uint64_t offset, uint64_t length) const {
  return offset <= Size && length <= Size - offset;
}

void tAnswerReader::Check(uint64_t offset, uint64_t length) const {
  if (!Holds(offset, length))
    throw tAnswerError("field at offset " + std::to_string(offset) + " of length " +
                       std::to_string(length) + " lies outside the " + std::to_string(Size) +
                       "-byte buffer");
}

uint32_t tAnswerReader::U32(uint64_t offset) const {
  Check(offset, 4);
  return kalvor_get_u32(Data, static_cast<uint32_t>(offset));
}

int32_t tAnswerReader::I32(uint64_t offset) const {
  Check(offset, 4);
  return kalvor_get_i32(Data, static_cast<uint32_t>(offset));
}

std::string tAnswerReader::Bytes(uint64_t offset, uint64_t length) const {
  Check(offset, length);
  return std::string(reinterpret_cast<const char*>(Data) + offset, static_cast<size_t>(length));
}
