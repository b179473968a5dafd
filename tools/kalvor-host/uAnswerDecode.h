// The answers of the three menu commands as the host receives them.
#pragma once

#include <kalvor/menu_commands.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uMenuItemAnswer.h"
#include "uMissingCause.h"

struct tEnvelope {
  uint32_t Size = 0;
  int32_t Command = 0;
  int32_t Outcome = 0;
  int32_t ResultCode = 0;

  bool Succeeded() const { return Outcome == 0; }
};

struct tStartItemAnswer {
  tEnvelope Envelope;
  int32_t MenuId = 0;
  int32_t MenuStartItemId = 0;
};

struct tActionAnswer {
  tEnvelope Envelope;
  int32_t SessionId = 0;
  int32_t ItemId = 0;
  uint32_t ItemKeyOffset = 0;
  uint32_t ItemKeyLength = 0;
  std::optional<std::string> ItemKey;  // absent when it lies outside the buffer
};

// On success the whole description; otherwise the request came back as it was sent.
struct tItemDescAnswer {
  tEnvelope Envelope;
  int32_t MenuItemId = 0;
  std::optional<tMenuItemAnswer> Item;
  // With result code 2: what is missing, as the plugin's log tells.
  std::optional<tMissingCause> Missing;
};

// The meaning of a result code, as the host documentation words it.
std::string ResultMeaning(int32_t resultCode);

// Each raises tAnswerError when the buffer is too short for its layout, its
// size word differs from its length, or (command 101) its fields contradict.
tEnvelope DecodeEnvelope(const std::vector<uint8_t>& answer);
tStartItemAnswer DecodeStartItemAnswer(const std::vector<uint8_t>& answer);
tActionAnswer DecodeActionAnswer(const std::vector<uint8_t>& answer);
tItemDescAnswer DecodeItemDescAnswer(const std::vector<uint8_t>& answer);
