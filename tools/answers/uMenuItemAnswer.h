// Every field of a command 101 answer, decoded and checked against its layout.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uAnswerReader.h"

// A text field as it lies in an answer.
struct tTextField {
  uint32_t Offset = 0;
  uint32_t Length = 0;
  std::string Bytes;
};

struct tVoiceBlock {
  tTextField SynthezList;
  int32_t SynthezPlace = 0;
  int32_t Timeout = 0;
  int32_t RepeatCount = 0;
  tTextField MacroName;
};

struct tConditionBlock {
  tTextField Plugin;
  tTextField Data;
};

struct tConnectionRow {
  uint32_t RowSize = 0;
  uint32_t Offset = 0;  // from the start of the buffer
  tTextField Key;
  int32_t ItemId = 0;
  tTextField WayDesc;
};

struct tMenuItemAnswer {
  uint32_t Size = 0;
  int32_t MenuItemId = 0;
  int32_t ServiceId = 0;
  uint32_t ParamsOffset = 0;
  uint32_t ParamsSize = 0;
  tTextField ItemName;
  int32_t ConnectionId = 0;
  tTextField ConnectionName;
  uint32_t ConnectionsOffset = 0;
  uint32_t ConnectionsCount = 0;
  std::optional<tVoiceBlock> Voice;
  std::optional<tConditionBlock> Condition;
  std::vector<tConnectionRow> Rows;
};

// Checks every offset and length against the buffer and the layout's rules;
// raises tAnswerError naming the first field that is wrong.
tMenuItemAnswer DecodeMenuItemAnswer(const tAnswerReader& answer);
