// Why command 101 answered "not found" (result code 2) for an item: the answer
// cannot tell, the plugin's log lines for the command can.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class tMissingCause {
  Item,             // MENU_GET_ITEM found no item
  VoiceParams,      // the item is a voice item without voice parameters
  ConditionParams,  // the item is a condition item without condition parameters
  Unknown,          // the log does not say (no log file, or a log server took the lines)
};

tMissingCause MissingCauseOf(int32_t itemId, const std::vector<std::string>& logLines);

// "does not exist", "is a voice item without voice parameters", ...
std::string MissingCauseText(tMissingCause cause);
// "item", "voice_params", "condition_params" or "unknown", for JSON.
std::string MissingCauseName(tMissingCause cause);
