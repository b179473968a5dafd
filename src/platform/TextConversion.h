// Text from UTF-8 into one of Firebird's character sets.
#pragma once

#include <optional>
#include <string>

#include "platform/CharacterSets.h"

// None when the set lacks one of the text's characters (or the system cannot
// convert into it); a set that takes bytes as they are gets the text unchanged.
std::optional<std::string> Utf8ToCharacterSet(const std::string& utf8, const tCharacterSet& set);
