// What an ini file's bytes hold, as Notepad and other editors save it.
#pragma once

#include <string>

enum class tIniEncoding {
  // Nothing beyond ASCII: the same in every encoding.
  Ascii,
  // Bytes beyond ASCII that are no valid UTF-8: an 8-bit code page (Windows-1251).
  EightBit,
  Utf8,
  Utf8WithByteOrderMark,
  Utf16LittleEndian,
  Utf16BigEndian,
};

// "UTF-8 without a byte order mark" and so on, for the log.
const char* EncodingName(tIniEncoding encoding);
bool IsUnicode(tIniEncoding encoding);

struct tIniText {
  // UTF-8 for the Unicode encodings (without the byte order mark), the bytes
  // as they are otherwise.
  std::string Text;
  tIniEncoding Encoding = tIniEncoding::Ascii;
};

// A byte order mark decides; without one, text that is valid UTF-8 and goes
// beyond ASCII is UTF-8. Russian text in Windows-1251 never is: two letters in
// a row are two lead bytes, which UTF-8 forbids.
tIniText DecodeIniText(const std::string& bytes);
