#include "uHex.h"

#include <cstdio>
#include <stdexcept>

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == ':' || c == '-';
}

}  // namespace

std::vector<uint8_t> ParseHex(const std::string& text) {
  std::vector<uint8_t> bytes;
  size_t at = 0;
  while (at < text.size()) {
    if (IsSeparator(text[at])) {
      ++at;
      continue;
    }
    const int high = HexDigit(text[at]);
    const int low = at + 1 < text.size() ? HexDigit(text[at + 1]) : -1;
    if (high < 0 || low < 0)
      throw std::invalid_argument("not a pair of hex digits at position " + std::to_string(at));
    bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    at += 2;
  }
  return bytes;
}

std::string HexDump(const std::vector<uint8_t>& bytes) {
  std::string out;
  char cell[32];
  for (size_t at = 0; at < bytes.size(); ++at) {
    if (at % 16 == 0) {
      std::snprintf(cell, sizeof cell, "%s%08zx:", at == 0 ? "" : "\n", at);
      out += cell;
    }
    std::snprintf(cell, sizeof cell, " %02x", bytes[at]);
    out += cell;
  }
  return bytes.empty() ? out : out + "\n";
}

std::string HexString(const std::vector<uint8_t>& bytes) {
  std::string out;
  char cell[4];
  for (const uint8_t byte : bytes) {
    std::snprintf(cell, sizeof cell, "%02x", byte);
    out += cell;
  }
  return out;
}
