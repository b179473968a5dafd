// Bounds-checked reading of a command buffer as a host sees it, through the
// public header's accessors alone.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// A field that does not lie wholly inside the buffer, or fields that contradict each other.
class tAnswerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class tAnswerReader {
 public:
  tAnswerReader(const uint8_t* data, uint32_t length) : Data(data), Size(length) {}

  uint32_t Length() const { return Size; }
  // Offsets and lengths are 64-bit so that offset + length never wraps.
  bool Holds(uint64_t offset, uint64_t length) const;

  uint32_t U32(uint64_t offset) const;
  int32_t I32(uint64_t offset) const;
  std::string Bytes(uint64_t offset, uint64_t length) const;

 private:
  void Check(uint64_t offset, uint64_t length) const;

  const uint8_t* Data;
  uint32_t Size;
};
