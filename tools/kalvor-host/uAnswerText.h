// The answers decoded field by field for a person at a terminal.
#pragma once

#include <string>

#include "uAnswerDecode.h"

std::string KindName(int32_t serviceId);
// A Windows-1251 text in quotes, converted to UTF-8, control bytes shown as \xNN.
std::string QuotedText(const std::string& cp1251);
// A key as listings show it: quoted, followed by its bytes in hex when any is
// beyond ASCII, since a Cyrillic "О" looks just like a zero or a Latin "O".
std::string QuotedKey(const std::string& cp1251);
// "voice item 20 \"Balance\"": an item as findings name it.
std::string ItemTitle(int32_t itemId, const tMenuItemAnswer& item);

std::string EnvelopeText(const tEnvelope& envelope);
std::string StartItemText(const tStartItemAnswer& answer);
std::string ActionText(const tActionAnswer& answer);
std::string ItemDescText(const tItemDescAnswer& answer);
// Why an item has no description: "does not exist (result code 2)", ...
std::string FailureSummary(const tItemDescAnswer& answer);
// Why command 100 gave no start item, in one sentence naming the menu.
std::string StartFailureText(const tStartItemAnswer& answer);
