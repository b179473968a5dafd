// The answers as JSON objects, texts converted to UTF-8 strings.
#pragma once

#include <string>

#include "uAnswerDecode.h"

std::string StartItemJson(const tStartItemAnswer& answer);
std::string ActionJson(const tActionAnswer& answer);
std::string ItemDescJson(const tItemDescAnswer& answer);
