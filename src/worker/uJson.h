// The little JSON the tool writes: objects and arrays built as text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A JSON string literal of UTF-8 text, with quotes, backslashes and control
// characters escaped, and each byte that is no part of well-formed UTF-8 (a
// path of other bytes) written as U+FFFD, so the literal is always valid.
std::string JsonString(const std::string& utf8);

// Members added in order; values are JSON text.
class tJsonObject {
 public:
  tJsonObject& Add(const std::string& key, int64_t value);
  tJsonObject& AddText(const std::string& key, const std::string& utf8);
  tJsonObject& AddRaw(const std::string& key, const std::string& json);
  std::string Text() const;

 private:
  std::string Members;
};

std::string JsonArray(const std::vector<std::string>& elements);
