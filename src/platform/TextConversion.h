// Text between UTF-8 and one of Firebird's character sets.
#pragma once

#include <optional>
#include <string>

#include "platform/CharacterSets.h"

// None when the set lacks one of the text's characters (or the system cannot
// convert into it); a set that takes bytes as they are gets the text unchanged.
std::optional<std::string> Utf8ToCharacterSet(const std::string& utf8, const tCharacterSet& set);

// The text of that set as UTF-8; a byte the set does not define becomes "?",
// and a set that takes bytes as they are (or one the system cannot convert
// from) leaves the text unchanged.
std::string CharacterSetToUtf8(const std::string& text, const tCharacterSet& set);
