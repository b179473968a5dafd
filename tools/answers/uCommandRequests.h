// The request buffers of commands 100, 101 and 102 as a host builds them.
#pragma once

#include <kalvor/menu_commands.h>

#include <cstdint>
#include <string>
#include <vector>

std::vector<uint8_t> BuildStartItemRequest(int32_t menuId);
// length: the buffer's size, at least the field menu_item_id (tests send short ones).
std::vector<uint8_t> BuildMenuItemRequest(int32_t itemId, uint32_t length = KALVOR_ITEM_LENGTH);
// The key's bytes follow the fixed part.
std::vector<uint8_t> BuildActionRequest(int32_t sessionId, int32_t itemId,
                                        const std::string& itemKey);
