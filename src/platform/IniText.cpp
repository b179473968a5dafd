#include "platform/IniText.h"

#include <cstdint>
#include <string_view>

namespace {
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LittleMark = "\xFF\xFE";
constexpr std::string_view Utf16BigMark = "\xFE\xFF";

bool StartsWith(const std::string& bytes, std::string_view mark) {
  return bytes.compare(0, mark.size(), mark) == 0;
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at that place, 0 when there is
// none (no overlong forms, no surrogates, nothing past U+10FFFF).
size_t SequenceLength(const std::string& text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  if (lead >= 0xE0 && lead <= 0xEF) length = 3;
  if (lead >= 0xF0 && lead <= 0xF4) length = 4;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (length == 0 || at + length > text.size()) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i)
    if (!IsContinuation(byte(i))) return 0;
  return length;
}

bool IsUtf8(const std::string& text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceLength(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

bool IsAscii(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

void AppendUtf8(std::string& out, uint32_t point) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | point >> 6);
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | point >> 12);
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | point >> 18);
    out += static_cast<char>(0x80 | (point >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

// A lone surrogate, or an odd last byte, becomes U+FFFD.
std::string Utf8FromUtf16(const std::string& bytes, bool bigEndian) {
  const auto unit = [&](size_t at) -> uint32_t {
    const auto first = static_cast<unsigned char>(bytes[at]);
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    return bigEndian ? (first << 8 | second) : (second << 8 | first);
  };
  constexpr uint32_t Replacement = 0xFFFD;
  std::string out;
  size_t at = 0;
  for (; at + 1 < bytes.size(); at += 2) {
    uint32_t point = unit(at);
    const bool high = point >= 0xD800 && point <= 0xDBFF;
    const bool low = point >= 0xDC00 && point <= 0xDFFF;
    if (high && at + 3 < bytes.size() && unit(at + 2) >= 0xDC00 && unit(at + 2) <= 0xDFFF) {
      point = 0x10000 + ((point - 0xD800) << 10) + (unit(at + 2) - 0xDC00);
      at += 2;
    } else if (high || low) {
      point = Replacement;
    }
    AppendUtf8(out, point);
  }
  if (at < bytes.size()) AppendUtf8(out, Replacement);
  return out;
}
}  // namespace

const char* EncodingName(tIniEncoding encoding) {
  switch (encoding) {
    case tIniEncoding::Ascii:
      return "ASCII";
    case tIniEncoding::EightBit:
      return "8-bit";
    case tIniEncoding::Utf8:
      return "UTF-8 without a byte order mark";
    case tIniEncoding::Utf8WithByteOrderMark:
      return "UTF-8 with a byte order mark";
    case tIniEncoding::Utf16LittleEndian:
      return "UTF-16 little-endian";
    case tIniEncoding::Utf16BigEndian:
      return "UTF-16 big-endian";
  }
  return "8-bit";
}

bool IsUnicode(tIniEncoding encoding) {
  return encoding != tIniEncoding::Ascii && encoding != tIniEncoding::EightBit;
}

tIniText DecodeIniText(const std::string& bytes) {
  if (StartsWith(bytes, Utf8Mark))
    return {bytes.substr(Utf8Mark.size()), tIniEncoding::Utf8WithByteOrderMark};
  if (StartsWith(bytes, Utf16LittleMark))
    return {Utf8FromUtf16(bytes.substr(2), false), tIniEncoding::Utf16LittleEndian};
  if (StartsWith(bytes, Utf16BigMark))
    return {Utf8FromUtf16(bytes.substr(2), true), tIniEncoding::Utf16BigEndian};
  if (IsAscii(bytes)) return {bytes, tIniEncoding::Ascii};
  return {bytes, IsUtf8(bytes) ? tIniEncoding::Utf8 : tIniEncoding::EightBit};
}
