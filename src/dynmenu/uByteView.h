// Bounds-checked access to a command buffer: 32-bit little-endian numbers and
// raw byte runs at an offset, whatever the machine's byte order and alignment.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "worker/uByteOrder.h"

// A field that does not lie wholly inside the buffer, or an answer whose
// fields contradict each other.
class tLayoutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Read access. Offsets and lengths are 64-bit so that offset + length never wraps.
class tConstByteView {
 public:
  tConstByteView(const uint8_t* data, uint32_t length) : Data(data), Size(length) {}

  uint32_t Length() const { return Size; }
  const uint8_t* Bytes() const { return Data; }
  // True when [offset, offset + length) lies inside the view.
  bool Holds(uint64_t offset, uint64_t length) const;

  uint32_t ReadU32(uint64_t offset) const;
  int32_t ReadI32(uint64_t offset) const;
  std::string ReadBytes(uint64_t offset, uint64_t length) const;

 protected:
  void Check(uint64_t offset, uint64_t length) const;

 private:
  const uint8_t* Data;
  uint32_t Size;
};

// Read and write access over a buffer the caller owns.
class tByteView : public tConstByteView {
 public:
  tByteView(uint8_t* data, uint32_t length) : tConstByteView(data, length), Writable(data) {}

  void WriteU32(uint64_t offset, uint32_t value);
  void WriteI32(uint64_t offset, int32_t value);
  void WriteBytes(uint64_t offset, const std::string& bytes);
  void Fill(uint64_t offset, uint64_t length, uint8_t value);

 private:
  uint8_t* Writable;
};
