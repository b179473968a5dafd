// What one item's own answer shows an operator got wrong: its keys and its
// voice parameters.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "uFinding.h"
#include "uMenuItemAnswer.h"

// The variables the host fills into prompts ({NAME}), in Windows-1251;
// absent when the operator gave none, and placeholders are then not checked.
using tKnownVariables = std::optional<std::vector<std::string>>;

// Empty or blank-padded keys, and on a voice item keys a phone cannot send;
// for a condition item any key but TRUE and FALSE.
std::vector<tFinding> KeyFindings(int32_t itemId, const tMenuItemAnswer& item);

// Texts that are UTF-8 stored as Windows-1251, each named by its column.
std::vector<tFinding> TextFindings(int32_t itemId, const tMenuItemAnswer& item);

// Time-out and repeat count out of range, or a time-out short enough to have
// been typed in seconds; placeholders the host does not fill.
std::vector<tFinding> VoiceFindings(int32_t itemId, const tMenuItemAnswer& item,
                                    const tKnownVariables& variables);

// The {NAME} placeholders of a prompt, in order, each once.
std::vector<std::string> Placeholders(const std::string& prompt);
