#include "log/tRecentLines.h"

#include "platform/Format.h"

void tRecentLines::Add(const tLocalTime& at, const std::string& message) {
  std::string line = Format("%02d:%02d:%02d.%03d ", at.Hour, at.Minute, at.Second, at.Millisecond);
  for (const char c : message.substr(0, MessageLimit)) line += c == '\r' || c == '\n' ? ' ' : c;
  if (message.size() > MessageLimit) line += "...";
  std::lock_guard<std::mutex> guard(Lock);
  Kept.push_back(std::move(line));
  if (Kept.size() > Capacity) Kept.pop_front();
}

std::vector<std::string> tRecentLines::Lines() const {
  std::lock_guard<std::mutex> guard(Lock);
  return {Kept.begin(), Kept.end()};
}
