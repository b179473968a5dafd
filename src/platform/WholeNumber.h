// Reading a whole number from a text: the settings, the database's values and
// the tool's arguments all take their numbers this one way.
#pragma once

#include <charconv>
#include <concepts>
#include <string_view>
#include <system_error>

enum class tNumberBase { Decimal, DecimalOrHex };

template <std::integral T>
struct tWholeNumber {
  T Value{};
  // std::errc() when the text was read; result_out_of_range when it is a
  // number the type cannot hold; invalid_argument for anything else.
  std::errc Error = std::errc::invalid_argument;

  bool Read() const { return Error == std::errc(); }
  T ValueOr(T fallback) const { return Read() ? Value : fallback; }
};

// The whole text, with no blank, no "+" and nothing after the digits; with
// DecimalOrHex, hexadecimal digits after "0x" or "0X".
template <std::integral T>
tWholeNumber<T> ReadWholeNumber(std::string_view text, tNumberBase base = tNumberBase::Decimal) {
  const bool hex = base == tNumberBase::DecimalOrHex && text.size() > 2 && text[0] == '0' &&
                   (text[1] == 'x' || text[1] == 'X');
  if (hex) text.remove_prefix(2);
  tWholeNumber<T> number;
  if (text.empty()) return number;
  const char* const last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, number.Value, hex ? 16 : 10);
  number.Error = error != std::errc() ? error : end != last ? std::errc::invalid_argument : error;
  return number;
}
