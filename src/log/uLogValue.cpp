#include "log/uLogValue.h"

#include <cstdio>

namespace {
const char* NamedEscape(char c) {
  switch (c) {
    case '\\':
      return "\\\\";
    case '"':
      return "\\\"";
    case '\r':
      return "\\r";
    case '\n':
      return "\\n";
    case '\t':
      return "\\t";
    default:
      return nullptr;
  }
}

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7f;
}
}  // namespace

std::string LogValue(const std::string& value) {
  std::string escaped;
  escaped.reserve(value.size());
  for (const char c : value) {
    if (const char* named = NamedEscape(c)) {
      escaped += named;
    } else if (IsControl(static_cast<unsigned char>(c))) {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\x%02X", static_cast<unsigned char>(c));
      escaped += hex;
    } else {
      escaped += c;
    }
  }
  return escaped;
}
