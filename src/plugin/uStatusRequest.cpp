#include "plugin/uStatusRequest.h"

#include <vector>

namespace {
constexpr std::size_t ShownLimit = 40;

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : line + " ") {
    if (c == ' ' || c == '\t' || c == '\r') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += Lower(c);
    }
  }
  return words;
}

// Bytes from anyone: only printable ASCII reaches the answer.
std::string Shown(const std::string& line) {
  std::string shown;
  for (const char c : line.substr(0, ShownLimit)) shown += c >= ' ' && c <= '~' ? c : '?';
  return line.size() > ShownLimit ? shown + "..." : shown;
}
}  // namespace

tStatusRequest ParseStatusRequest(const std::string& bytes, std::size_t limit) {
  const std::size_t end = bytes.find('\n');
  if (end == std::string::npos && bytes.size() >= limit) return {tStatusRequestKind::TooLong, {}};
  const std::string line = bytes.substr(0, end);
  const std::vector<std::string> words = Words(line);
  if (words.empty())
    return {line.empty() && end == std::string::npos ? tStatusRequestKind::None
                                                     : tStatusRequestKind::Unknown,
            Shown(line)};
  if (words == std::vector<std::string>{"status"}) return {tStatusRequestKind::Text, {}};
  if (words == std::vector<std::string>{"status", "json"}) return {tStatusRequestKind::Json, {}};
  if (words == std::vector<std::string>{"help"}) return {tStatusRequestKind::Help, {}};
  return {tStatusRequestKind::Unknown, Shown(line)};
}
