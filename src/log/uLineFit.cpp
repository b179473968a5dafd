#include "log/uLineFit.h"

#include <utility>

namespace {
struct tSpan {
  std::size_t Start = 0;
  std::size_t Length = 0;
};

bool IsEscaped(const std::string& text, std::size_t at) {
  std::size_t backslashes = 0;
  while (at > backslashes && text[at - 1 - backslashes] == '\\') ++backslashes;
  return backslashes % 2 == 1;
}

// The inside of the longest "..." whose quotes are not escaped.
tSpan LongestQuotedValue(const std::string& text) {
  tSpan longest;
  std::size_t open = std::string::npos;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] != '"' || IsEscaped(text, at)) continue;
    if (open == std::string::npos) {
      open = at;
      continue;
    }
    if (at - open - 1 > longest.Length) longest = {open + 1, at - open - 1};
    open = std::string::npos;
  }
  return longest;
}

std::string Marker(std::size_t leftOut) {
  return "...(" + std::to_string(leftOut) + " bytes left out)...";
}

// Takes the middle of the span out: as many bytes as the marker needs beside
// what must go. Nothing when the span is too short.
bool CutMiddle(std::string& text, tSpan span, std::size_t excess) {
  std::size_t cut = excess;
  while (cut < excess + Marker(cut).size()) cut = excess + Marker(cut).size();
  if (cut > span.Length) return false;
  std::size_t start = span.Start + (span.Length - cut) / 2;
  // A backslash left before the marker would look like an escape.
  while (start > span.Start && text[start - 1] == '\\') --start;
  text.replace(start, cut, Marker(cut));
  return true;
}
}  // namespace

std::string FitMessage(const std::string& message, std::size_t room) {
  if (message.size() <= room) return message;
  const std::size_t excess = message.size() - room;
  std::string fitted = message;
  if (CutMiddle(fitted, LongestQuotedValue(message), excess)) return fitted;
  if (CutMiddle(fitted, {0, message.size()}, excess)) return fitted;
  return message.substr(0, room);
}
