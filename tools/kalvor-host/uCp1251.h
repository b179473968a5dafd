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

// True when the bytes, taken as UTF-8, are a text with a letter beyond ASCII
// that Windows-1251 can hold: UTF-8 stored as if it were Windows-1251 (a
// Russian text then reads "РџСЂРёРІРµС‚"). Real Windows-1251 text almost
// never is valid UTF-8: its letters are lead bytes that need continuation
// bytes after them, which Windows-1251 gives to rare symbols.
bool IsUtf8OfCp1251Text(const std::string& bytes);
