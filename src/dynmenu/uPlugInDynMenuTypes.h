// The layouts of the menu commands 100, 101 and 102: every offset of their
// fields, read and written through tByteView in little-endian byte order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dynmenu/uByteView.h"
#include "worker/uPlugInConst.h"

inline constexpr int32_t DynMenuCmd_GetStartMenuItem = 100;
inline constexpr int32_t DynMenuCmd_GetMenuItemDesc = 101;
inline constexpr int32_t DynMenuCmd_PostMenuAction = 102;

inline constexpr int32_t MenuService_Voice = 1;
inline constexpr int32_t MenuService_Condition = 2;

// Command 100, answered in place.
namespace StartItemLayout {
inline constexpr uint32_t MenuId = 16;
inline constexpr uint32_t MenuStartItemId = 20;
inline constexpr uint32_t MinSize = 24;
}  // namespace StartItemLayout

// Command 102, answered in place; the key's bytes lie anywhere in the buffer.
namespace ActionLayout {
inline constexpr uint32_t SessionId = 16;
inline constexpr uint32_t ItemId = 20;
inline constexpr uint32_t ItemKeyOffset = 24;
inline constexpr uint32_t ItemKeyLength = 28;
inline constexpr uint32_t MinSize = 32;
}  // namespace ActionLayout

// Command 101: the fixed part, then parameter block, names and rows without gaps.
namespace ItemDescLayout {
inline constexpr uint32_t MenuItemId = 16;
inline constexpr uint32_t MenuServiceId = 20;
inline constexpr uint32_t ParamsOffset = 24;
inline constexpr uint32_t ParamsSize = 28;
inline constexpr uint32_t ItemNameOffset = 32;
inline constexpr uint32_t ItemNameLength = 36;
inline constexpr uint32_t MenuConnectionId = 40;
inline constexpr uint32_t ConnectionNameOffset = 44;
inline constexpr uint32_t ConnectionNameLength = 48;
inline constexpr uint32_t ConnectionsOffset = 52;
inline constexpr uint32_t ConnectionsCount = 56;
inline constexpr uint32_t MinSize = 60;
}  // namespace ItemDescLayout

// Offsets inside the voice parameter block.
namespace VoiceBlockLayout {
inline constexpr uint32_t SynthezListOffset = 0;
inline constexpr uint32_t SynthezListLength = 4;
inline constexpr uint32_t SynthezPlace = 8;
inline constexpr uint32_t Timeout = 12;
inline constexpr uint32_t RepeatCount = 16;
inline constexpr uint32_t MacroNameOffset = 20;
inline constexpr uint32_t MacroNameLength = 24;
inline constexpr uint32_t HeadSize = 28;
}  // namespace VoiceBlockLayout

// Offsets inside the condition parameter block; the block ends with 8 spare bytes.
namespace ConditionBlockLayout {
inline constexpr uint32_t PluginOffset = 0;
inline constexpr uint32_t PluginLength = 4;
inline constexpr uint32_t DataOffset = 8;
inline constexpr uint32_t DataLength = 12;
inline constexpr uint32_t HeadSize = 16;
inline constexpr uint32_t TailSize = 8;
}  // namespace ConditionBlockLayout

// Offsets inside one connection row.
namespace ConnectionRowLayout {
inline constexpr uint32_t RowSize = 0;
inline constexpr uint32_t KeyOffset = 4;
inline constexpr uint32_t KeyLength = 8;
inline constexpr uint32_t ItemId = 12;
inline constexpr uint32_t WayDescOffset = 16;
inline constexpr uint32_t WayDescLength = 20;
inline constexpr uint32_t HeadSize = 24;
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
  int32_t SynthezPlace = 0;
  int32_t RepeatCount = 1;
  int32_t Timeout = -1;

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
  int32_t ConnectionId = -1;
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
std::vector<uint8_t> BuildStartItemRequest(int32_t menuId);

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
std::vector<uint8_t> BuildActionRequest(int32_t sessionId, int32_t itemId,
                                        const std::string& itemKey);

// Command 101.
int32_t ReadMenuItemId(const tConstByteView& request);
uint64_t ParamsBlockLength(const tMenuItemDesc& desc);
// The exact answer length; in 64 bits, since a too long answer must be refused.
uint64_t MenuItemAnswerLength(const tMenuItemDesc& desc);
// Writes size, the fixed fields (all but command and menu_item_id, which come
// from the copied request), the parameter block, the names and the rows.
// The view must be exactly MenuItemAnswerLength(desc) long.
void WriteMenuItemAnswer(tByteView& answer, const tMenuItemDesc& desc);
std::vector<uint8_t> BuildMenuItemRequest(int32_t itemId,
                                          uint32_t length = ItemDescLayout::MinSize);

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

// Every field of a command 101 answer, for hosts that show or check it.
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

  tMenuItemDesc Desc() const;
};

// Checks every offset and length against the buffer and the layout's rules;
// raises tLayoutError naming the first field that is wrong.
tMenuItemAnswer DecodeMenuItemAnswer(const tConstByteView& answer);
