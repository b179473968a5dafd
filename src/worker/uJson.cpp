#include "worker/uJson.h"

#include <cstdio>

namespace {
// The length of the well-formed UTF-8 sequence at text[at], or 0.
size_t SequenceLength(const std::string& text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const size_t length = lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t next = 1; next < length; ++next)
    if ((static_cast<unsigned char>(text[at + next]) & 0xC0) != 0x80) return 0;
  const auto second = static_cast<unsigned char>(text[at + 1]);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
    return 0;
  return length;
}
}  // namespace

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t at = 0; at < utf8.size(); ++at) {
    const char c = utf8[at];
    if (static_cast<unsigned char>(c) >= 0x80) {
      const size_t length = SequenceLength(utf8, at);
      out += length == 0 ? std::string("\\ufffd") : utf8.substr(at, length);
      at += length == 0 ? 0 : length - 1;
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

tJsonObject& tJsonObject::Add(const std::string& key, int64_t value) {
  return AddRaw(key, std::to_string(value));
}

tJsonObject& tJsonObject::AddText(const std::string& key, const std::string& utf8) {
  return AddRaw(key, JsonString(utf8));
}

tJsonObject& tJsonObject::AddRaw(const std::string& key, const std::string& json) {
  if (!Members.empty()) Members += ",";
  Members += JsonString(key) + ":" + json;
  return *this;
}

std::string tJsonObject::Text() const {
  return "{" + Members + "}";
}

std::string JsonArray(const std::vector<std::string>& elements) {
  std::string out = "[";
  for (size_t index = 0; index < elements.size(); ++index) {
    if (index != 0) out += ",";
    out += elements[index];
  }
  return out + "]";
}
