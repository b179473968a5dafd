// Windows-1251 texts shown on a UTF-8 terminal, and what a user types there
// turned into the bytes the menu database holds.
#pragma once

#include <stdexcept>
#include <string>

// A UTF-8 text that has no Windows-1251 form; the message names the character.
class tConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string Cp1251ToUtf8(const std::string& text);

// Raises tConversionError for broken UTF-8 or a character outside the code page.
std::string Utf8ToCp1251(const std::string& utf8);
