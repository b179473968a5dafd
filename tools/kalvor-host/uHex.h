// Buffers written and shown as hexadecimal bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Pairs of hex digits; blanks, ':' and '-' between bytes are allowed.
// Raises std::invalid_argument on anything else or an odd digit count.
std::vector<uint8_t> ParseHex(const std::string& text);

// Lines of 16 bytes, each led by its offset.
std::string HexDump(const std::vector<uint8_t>& bytes);

// All bytes as one run of digit pairs.
std::string HexString(const std::vector<uint8_t>& bytes);
