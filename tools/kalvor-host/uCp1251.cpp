#include "uCp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace {

// Code points of the bytes 0x80..0xFF; 0x98 has none and shows as U+FFFD.
constexpr std::array<uint16_t, 128> UpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039,
    0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408,
    0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB,
    0x0458, 0x0405, 0x0455, 0x0457, 0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423,
    0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437, 0x0438, 0x0439, 0x043A, 0x043B,
    0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

void AppendUtf8(std::string& out, uint16_t codePoint) {
  if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
  } else {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  }
  out += static_cast<char>(0x80 | (codePoint & 0x3F));
}

// The code point of the UTF-8 sequence at text[at], moving at past it; -1 when broken.
int32_t NextCodePoint(const std::string& text, size_t& at) {
  const auto lead = static_cast<uint8_t>(text[at++]);
  if (lead < 0x80) return lead;
  const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
  if (extra < 0 || lead > 0xF4 || at + extra > text.size()) return -1;
  int32_t codePoint = lead & (0x3F >> extra);
  for (int index = 0; index < extra; ++index) {
    const auto next = static_cast<uint8_t>(text[at++]);
    if ((next & 0xC0) != 0x80) return -1;
    codePoint = codePoint << 6 | (next & 0x3F);
  }
  const int32_t smallest[] = {0, 0x80, 0x800, 0x10000};
  return codePoint < smallest[extra] ? -1 : codePoint;
}

std::string CodePointName(int32_t codePoint) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codePoint));
  return name;
}

// The Windows-1251 form of a UTF-8 text, or the reason it has none.
std::optional<std::string> ConvertUtf8(const std::string& utf8, std::string& out) {
  size_t at = 0;
  while (at < utf8.size()) {
    const size_t start = at;
    const int32_t codePoint = NextCodePoint(utf8, at);
    if (codePoint < 0)
      return "\"" + utf8 + "\" is not valid UTF-8 (byte " + std::to_string(start + 1) + ")";
    if (codePoint < 0x80) {
      out += static_cast<char>(codePoint);
      continue;
    }
    const auto found = std::find(UpperHalf.begin(), UpperHalf.end(), codePoint);
    if (codePoint == 0xFFFD || found == UpperHalf.end())
      return "\"" + utf8.substr(start, at - start) + "\" (" + CodePointName(codePoint) +
             ") has no Windows-1251 form";
    out += static_cast<char>(0x80 + (found - UpperHalf.begin()));
  }
  return std::nullopt;
}

}  // namespace

std::string Utf8ToCp1251(const std::string& utf8) {
  std::string out;
  if (const auto reason = ConvertUtf8(utf8, out)) throw tConversionError(*reason);
  return out;
}

bool IsUtf8OfCp1251Text(const std::string& bytes) {
  const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                 [](char c) { return static_cast<uint8_t>(c) < 0x80; });
  std::string converted;
  return !ascii && !ConvertUtf8(bytes, converted);
}

std::string Cp1251ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte < 0x80)
      out += c;
    else
      AppendUtf8(out, UpperHalf[byte - 0x80]);
  }
  return out;
}
