// Firebird's character sets as the operating system's converters know them.
#pragma once

#include <string>

struct tCharacterSet {
  // As the connection's lc_ctype names it.
  const char* Name;
  // Windows' code page; 0 for a set that takes bytes as they are (NONE, OCTETS).
  unsigned CodePage;
  // iconv's name.
  const char* IconvName;
};

// Null for a name the table does not know; letter case does not matter.
const tCharacterSet* FindCharacterSet(const std::string& name);
