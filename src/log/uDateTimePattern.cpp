#include "log/uDateTimePattern.h"

#include <cstdio>
#include <string_view>

namespace {
std::string ZeroPadded(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof(text), "%0*d", width, value);
  return text;
}

// The expansion of the format token at the start of rest, with its length; 0 when none.
std::size_t ExpandToken(std::string_view rest, const tLocalTime& time, std::string& out) {
  if (rest.starts_with("YYYY")) {
    out += ZeroPadded(time.Year, 4);
    return 4;
  }
  struct Token {
    std::string_view Name;
    int Value;
  };
  for (const Token& token :
       {Token{"MM", time.Month}, Token{"DD", time.Day}, Token{"HH", time.Hour}}) {
    if (rest.starts_with(token.Name)) {
      out += ZeroPadded(token.Value, 2);
      return token.Name.size();
    }
  }
  return 0;
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}
}  // namespace

std::string ExpandDateTimePattern(const std::string& Pattern, const tLocalTime& Time) {
  std::string out;
  std::size_t i = 0;
  while (i < Pattern.size()) {
    if (IsQuote(Pattern[i])) {
      const auto close = Pattern.find(Pattern[i], i + 1);
      const auto end = close == std::string::npos ? Pattern.size() : close;
      out.append(Pattern, i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    const std::size_t used = ExpandToken(std::string_view(Pattern).substr(i), Time, out);
    if (used == 0) out += Pattern[i];
    i += used == 0 ? 1 : used;
  }
  return out;
}

// Runs without a double quote go between double quotes; a double quote goes
// between single quotes.
std::string PatternLiteral(const std::string& Text) {
  std::string literal;
  bool open = false;
  for (const char c : Text) {
    if (c == '"') {
      if (open) literal += '"';
      open = false;
      literal += "'\"'";
      continue;
    }
    if (!open) literal += '"';
    open = true;
    literal += c;
  }
  if (open) literal += '"';
  return literal;
}
