#include "uCommandRequests.h"

#include <cstring>
#include <limits>

#include "uAnswerReader.h"

namespace {

std::vector<uint8_t> NewRequest(int32_t command, uint32_t length) {
  std::vector<uint8_t> request(length, 0);
  kalvor_put_u32(request.data(), KALVOR_ENVELOPE_SIZE, length);
  kalvor_put_u32(request.data(), KALVOR_ENVELOPE_COMMAND, static_cast<uint32_t>(command));
  return request;
}

}  // namespace

std::vector<uint8_t> BuildStartItemRequest(int32_t menuId) {
  auto request = NewRequest(KALVOR_CMD_GET_START_ITEM, KALVOR_START_ITEM_LENGTH);
  kalvor_put_u32(request.data(), KALVOR_START_ITEM_MENU_ID, static_cast<uint32_t>(menuId));
  return request;
}

std::vector<uint8_t> BuildMenuItemRequest(int32_t itemId, uint32_t length) {
  if (length < KALVOR_ITEM_MENU_ITEM_ID + 4) throw tAnswerError("request too short");
  auto request = NewRequest(KALVOR_CMD_GET_ITEM_DESC, length);
  kalvor_put_u32(request.data(), KALVOR_ITEM_MENU_ITEM_ID, static_cast<uint32_t>(itemId));
  return request;
}

std::vector<uint8_t> BuildActionRequest(int32_t sessionId, int32_t itemId,
                                        const std::string& itemKey) {
  const uint64_t length = uint64_t{KALVOR_ACTION_LENGTH} + itemKey.size();
  if (length > std::numeric_limits<uint32_t>::max()) throw tAnswerError("item key too long");
  auto request = NewRequest(KALVOR_CMD_POST_ACTION, static_cast<uint32_t>(length));
  uint8_t* bytes = request.data();
  kalvor_put_u32(bytes, KALVOR_ACTION_SESSION_ID, static_cast<uint32_t>(sessionId));
  kalvor_put_u32(bytes, KALVOR_ACTION_ITEM_ID, static_cast<uint32_t>(itemId));
  kalvor_put_u32(bytes, KALVOR_ACTION_ITEM_KEY_OFFSET, KALVOR_ACTION_LENGTH);
  kalvor_put_u32(bytes, KALVOR_ACTION_ITEM_KEY_LENGTH, static_cast<uint32_t>(itemKey.size()));
  if (!itemKey.empty()) std::memcpy(bytes + KALVOR_ACTION_LENGTH, itemKey.data(), itemKey.size());
  return request;
}
