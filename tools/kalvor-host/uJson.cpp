#include "uJson.h"

#include <cstdio>

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
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
