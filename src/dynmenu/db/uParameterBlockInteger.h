#pragma once

#include <cstdint>
#include <string>

// Appends a numeric item value the way database and transaction parameter
// blocks carry it: one length byte (4), then the four bytes of the value,
// least significant first.
void AppendParameterBlockInteger(std::string& block, int32_t value);
