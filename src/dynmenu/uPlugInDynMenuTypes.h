// The layouts of the menu commands 100, 101 and 102: every offset of their
// fields, read and written through tByteView in little-endian byte order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <kalvor/menu_commands.h>

#include "dynmenu/uByteView.h"
#include "worker/uPlugInConst.h"

// Every offset comes from the public header that hosts include, so the two cannot drift.
inline constexpr int32_t DynMenuCmd_GetStartMenuItem = KALVOR_CMD_GET_START_ITEM;
inline constexpr int32_t DynMenuCmd_GetMenuItemDesc = KALVOR_CMD_GET_ITEM_DESC;
inline constexpr int32_t DynMenuCmd_PostMenuAction = KALVOR_CMD_POST_ACTION;

inline constexpr int32_t MenuService_Voice = KALVOR_SERVICE_VOICE;
inline constexpr int32_t MenuService_Condition = KALVOR_SERVICE_CONDITION;

// The envelope and result codes of the worker framework are the header's too.
static_assert(EnvelopeSize == KALVOR_ENVELOPE_LENGTH);
static_assert(EnvelopeSizeOffset == KALVOR_ENVELOPE_SIZE);
static_assert(EnvelopeCommandOffset == KALVOR_ENVELOPE_COMMAND);
static_assert(EnvelopeOutcomeOffset == KALVOR_ENVELOPE_OUTCOME);
static_assert(EnvelopeResultCodeOffset == KALVOR_ENVELOPE_RESULT_CODE);
static_assert(Result_Success == KALVOR_RESULT_SUCCESS);
static_assert(Result_ProcessingFailed == KALVOR_RESULT_PROCESSING_FAILED);
static_assert(Result_TooSmallOrNotFound == KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND);
static_assert(Result_UnknownCommand == KALVOR_RESULT_UNKNOWN_COMMAND);

// Command 100, answered in place.
namespace StartItemLayout {
inline constexpr uint32_t MenuId = KALVOR_START_ITEM_MENU_ID;
inline constexpr uint32_t MenuStartItemId = KALVOR_START_ITEM_START_ITEM_ID;
inline constexpr uint32_t MinSize = KALVOR_START_ITEM_LENGTH;
}  // namespace StartItemLayout

// Command 102, answered in place; the key's bytes lie anywhere in the buffer.
namespace ActionLayout {
inline constexpr uint32_t SessionId = KALVOR_ACTION_SESSION_ID;
inline constexpr uint32_t ItemId = KALVOR_ACTION_ITEM_ID;
inline constexpr uint32_t ItemKeyOffset = KALVOR_ACTION_ITEM_KEY_OFFSET;
inline constexpr uint32_t ItemKeyLength = KALVOR_ACTION_ITEM_KEY_LENGTH;
inline constexpr uint32_t MinSize = KALVOR_ACTION_LENGTH;
}  // namespace ActionLayout

// Command 101: the fixed part, then parameter block, names and rows without gaps.
namespace ItemDescLayout {
inline constexpr uint32_t MenuItemId = KALVOR_ITEM_MENU_ITEM_ID;
inline constexpr uint32_t MenuServiceId = KALVOR_ITEM_SERVICE_ID;
inline constexpr uint32_t ParamsOffset = KALVOR_ITEM_PARAMS_OFFSET;
inline constexpr uint32_t ParamsSize = KALVOR_ITEM_PARAMS_SIZE;
inline constexpr uint32_t ItemNameOffset = KALVOR_ITEM_NAME_OFFSET;
inline constexpr uint32_t ItemNameLength = KALVOR_ITEM_NAME_LENGTH;
inline constexpr uint32_t MenuConnectionId = KALVOR_ITEM_CONNECTION_ID;
inline constexpr uint32_t ConnectionNameOffset = KALVOR_ITEM_CONNECTION_NAME_OFFSET;
inline constexpr uint32_t ConnectionNameLength = KALVOR_ITEM_CONNECTION_NAME_LENGTH;
inline constexpr uint32_t ConnectionsOffset = KALVOR_ITEM_CONNECTIONS_OFFSET;
inline constexpr uint32_t ConnectionsCount = KALVOR_ITEM_CONNECTIONS_COUNT;
inline constexpr uint32_t MinSize = KALVOR_ITEM_LENGTH;
}  // namespace ItemDescLayout

// Offsets inside the voice parameter block.
namespace VoiceBlockLayout {
inline constexpr uint32_t SynthezListOffset = KALVOR_VOICE_SYNTHEZ_LIST_OFFSET;
inline constexpr uint32_t SynthezListLength = KALVOR_VOICE_SYNTHEZ_LIST_LENGTH;
inline constexpr uint32_t SynthezPlace = KALVOR_VOICE_SYNTHEZ_PLACE;
inline constexpr uint32_t Timeout = KALVOR_VOICE_TIMEOUT;
inline constexpr uint32_t RepeatCount = KALVOR_VOICE_REPEAT_COUNT;
inline constexpr uint32_t MacroNameOffset = KALVOR_VOICE_MACRO_NAME_OFFSET;
inline constexpr uint32_t MacroNameLength = KALVOR_VOICE_MACRO_NAME_LENGTH;
inline constexpr uint32_t HeadSize = KALVOR_VOICE_HEAD_LENGTH;
}  // namespace VoiceBlockLayout

// Offsets inside the condition parameter block; the block ends with 8 spare bytes.
namespace ConditionBlockLayout {
inline constexpr uint32_t PluginOffset = KALVOR_CONDITION_PLUGIN_OFFSET;
inline constexpr uint32_t PluginLength = KALVOR_CONDITION_PLUGIN_LENGTH;
inline constexpr uint32_t DataOffset = KALVOR_CONDITION_DATA_OFFSET;
inline constexpr uint32_t DataLength = KALVOR_CONDITION_DATA_LENGTH;
inline constexpr uint32_t HeadSize = KALVOR_CONDITION_HEAD_LENGTH;
inline constexpr uint32_t TailSize = KALVOR_CONDITION_TAIL_LENGTH;
}  // namespace ConditionBlockLayout

// Offsets inside one connection row.
namespace ConnectionRowLayout {
inline constexpr uint32_t RowSize = KALVOR_ROW_SIZE;
inline constexpr uint32_t KeyOffset = KALVOR_ROW_KEY_OFFSET;
inline constexpr uint32_t KeyLength = KALVOR_ROW_KEY_LENGTH;
inline constexpr uint32_t ItemId = KALVOR_ROW_ITEM_ID;
inline constexpr uint32_t WayDescOffset = KALVOR_ROW_WAY_DESC_OFFSET;
inline constexpr uint32_t WayDescLength = KALVOR_ROW_WAY_DESC_LENGTH;
inline constexpr uint32_t HeadSize = KALVOR_ROW_HEAD_LENGTH;
}  // namespace ConnectionRowLayout

// One row of an item's connection.
struct tConnectionRec {
  std::string Key;
  int32_t ItemId = 0;
  std::string WayDesc;

  friend bool operator==(const tConnectionRec&, const tConnectionRec&) = default;
};

struct tVoiceParams {
  std::string SynthezList;
  std::string MacroName;
  int32_t SynthezPlace = KALVOR_MISSING_SYNTHEZ_PLACE;
  int32_t RepeatCount = KALVOR_MISSING_REPEAT_COUNT;
  int32_t Timeout = KALVOR_MISSING_TIMEOUT;

  friend bool operator==(const tVoiceParams&, const tVoiceParams&) = default;
};

struct tConditionParams {
  std::string ProcessorName;
  std::string Data;

  friend bool operator==(const tConditionParams&, const tConditionParams&) = default;
};

// What command 101 answers about one item; the starting values are those of an
// item whose database row leaves them out.
struct tMenuItemDesc {
  int32_t ServiceId = -1;
  int32_t ConnectionId = KALVOR_NO_CONNECTION;
  std::string ItemName;
  std::string ConnectionName;
  tVoiceParams Voice;
  tConditionParams Condition;
  std::vector<tConnectionRec> Connections;

  friend bool operator==(const tMenuItemDesc&, const tMenuItemDesc&) = default;
};

// The view of a request whose size word the session has already held against
// the block it copied.
tByteView CommandView(uint8_t* buffer);

// Command 100.
int32_t ReadMenuId(const tConstByteView& request);
void WriteMenuStartItemId(tByteView& buffer, int32_t itemId);
int32_t ReadMenuStartItemId(const tConstByteView& answer);

// Command 102.
struct tActionRequest {
  int32_t SessionId = 0;
  int32_t ItemId = 0;
  std::string ItemKey;
};
// False when the key does not lie wholly inside the buffer; such a request is refused.
bool ActionKeyFits(const tConstByteView& request);
// Raises tLayoutError when the key does not fit; an empty key's offset is not read.
tActionRequest ReadActionRequest(const tConstByteView& request);

// Command 101.
int32_t ReadMenuItemId(const tConstByteView& request);
uint64_t ParamsBlockLength(const tMenuItemDesc& desc);
// The exact answer length; in 64 bits, since a too long answer must be refused.
uint64_t MenuItemAnswerLength(const tMenuItemDesc& desc);
// Writes size, the fixed fields (all but command and menu_item_id, which come
// from the copied request), the parameter block, the names and the rows.
// The view must be exactly MenuItemAnswerLength(desc) long.
void WriteMenuItemAnswer(tByteView& answer, const tMenuItemDesc& desc);
