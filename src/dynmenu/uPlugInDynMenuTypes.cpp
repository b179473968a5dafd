#include "dynmenu/uPlugInDynMenuTypes.h"

#include <limits>

namespace {

void Expect(bool holds, const std::string& what) {
  if (!holds) throw tLayoutError("inconsistent menu item answer: " + what);
}

uint32_t Length32(const std::string& text) {
  return static_cast<uint32_t>(text.size());
}

std::vector<uint8_t> NewRequest(int32_t command, uint32_t length) {
  std::vector<uint8_t> request(length, 0);
  tByteView view(request.data(), length);
  view.WriteU32(EnvelopeSizeOffset, length);
  view.WriteI32(EnvelopeCommandOffset, command);
  return request;
}

// A text whose offset field counts from base; the bytes must lie inside the buffer.
tTextField ReadText(const tConstByteView& buffer, uint64_t base, uint32_t offsetField,
                    uint32_t lengthField) {
  tTextField text;
  text.Offset = buffer.ReadU32(base + offsetField);
  text.Length = buffer.ReadU32(base + lengthField);
  text.Bytes = buffer.ReadBytes(base + text.Offset, text.Length);
  return text;
}

uint32_t RowLength(const tConnectionRec& row) {
  return ConnectionRowLayout::HeadSize + Length32(row.Key) + Length32(row.WayDesc);
}

void WriteVoiceBlock(tByteView& answer, uint32_t base, const tVoiceParams& voice) {
  using namespace VoiceBlockLayout;
  const uint32_t macroOffset = HeadSize + Length32(voice.SynthezList);
  answer.WriteU32(base + SynthezListOffset, HeadSize);
  answer.WriteU32(base + SynthezListLength, Length32(voice.SynthezList));
  answer.WriteI32(base + SynthezPlace, voice.SynthezPlace);
  answer.WriteI32(base + Timeout, voice.Timeout);
  answer.WriteI32(base + RepeatCount, voice.RepeatCount);
  answer.WriteU32(base + MacroNameOffset, macroOffset);
  answer.WriteU32(base + MacroNameLength, Length32(voice.MacroName));
  answer.WriteBytes(base + HeadSize, voice.SynthezList);
  answer.WriteBytes(base + macroOffset, voice.MacroName);
}

void WriteConditionBlock(tByteView& answer, uint32_t base, const tConditionParams& condition) {
  using namespace ConditionBlockLayout;
  const uint32_t dataOffset = HeadSize + Length32(condition.ProcessorName);
  const uint32_t tailOffset = dataOffset + Length32(condition.Data);
  answer.WriteU32(base + PluginOffset, HeadSize);
  answer.WriteU32(base + PluginLength, Length32(condition.ProcessorName));
  answer.WriteU32(base + DataOffset, dataOffset);
  answer.WriteU32(base + DataLength, Length32(condition.Data));
  answer.WriteBytes(base + HeadSize, condition.ProcessorName);
  answer.WriteBytes(base + dataOffset, condition.Data);
  answer.Fill(base + tailOffset, TailSize, 0);
}

void WriteParamsBlock(tByteView& answer, const tMenuItemDesc& desc) {
  if (desc.ServiceId == MenuService_Voice)
    WriteVoiceBlock(answer, ItemDescLayout::MinSize, desc.Voice);
  else if (desc.ServiceId == MenuService_Condition)
    WriteConditionBlock(answer, ItemDescLayout::MinSize, desc.Condition);
}

void WriteRow(tByteView& answer, uint32_t base, const tConnectionRec& row) {
  using namespace ConnectionRowLayout;
  const uint32_t wayOffset = HeadSize + Length32(row.Key);
  answer.WriteU32(base + RowSize, RowLength(row));
  answer.WriteU32(base + KeyOffset, HeadSize);
  answer.WriteU32(base + KeyLength, Length32(row.Key));
  answer.WriteI32(base + ItemId, row.ItemId);
  answer.WriteU32(base + WayDescOffset, wayOffset);
  answer.WriteU32(base + WayDescLength, Length32(row.WayDesc));
  answer.WriteBytes(base + HeadSize, row.Key);
  answer.WriteBytes(base + wayOffset, row.WayDesc);
}

tVoiceBlock DecodeVoiceBlock(const tConstByteView& answer, uint32_t base, uint32_t blockSize) {
  using namespace VoiceBlockLayout;
  Expect(blockSize >= HeadSize, "voice params_size below the 28-byte head");
  tVoiceBlock voice;
  voice.SynthezList = ReadText(answer, base, SynthezListOffset, SynthezListLength);
  voice.SynthezPlace = answer.ReadI32(base + SynthezPlace);
  voice.Timeout = answer.ReadI32(base + Timeout);
  voice.RepeatCount = answer.ReadI32(base + RepeatCount);
  voice.MacroName = ReadText(answer, base, MacroNameOffset, MacroNameLength);
  Expect(voice.SynthezList.Offset == HeadSize, "synthez_list_offset is not 28");
  Expect(uint64_t{voice.MacroName.Offset} == uint64_t{HeadSize} + voice.SynthezList.Length,
         "macro_name_offset does not follow the synthesis list");
  Expect(
      uint64_t{blockSize} == uint64_t{HeadSize} + voice.SynthezList.Length + voice.MacroName.Length,
      "voice params_size does not match its texts");
  return voice;
}

tConditionBlock DecodeConditionBlock(const tConstByteView& answer, uint32_t base,
                                     uint32_t blockSize) {
  using namespace ConditionBlockLayout;
  Expect(blockSize >= HeadSize + TailSize, "condition params_size below 24");
  tConditionBlock condition;
  condition.Plugin = ReadText(answer, base, PluginOffset, PluginLength);
  condition.Data = ReadText(answer, base, DataOffset, DataLength);
  Expect(condition.Plugin.Offset == HeadSize, "cond_plugin_offset is not 16");
  Expect(uint64_t{condition.Data.Offset} == uint64_t{HeadSize} + condition.Plugin.Length,
         "cond_data_offset does not follow the processor name");
  Expect(uint64_t{blockSize} ==
             uint64_t{HeadSize} + TailSize + condition.Plugin.Length + condition.Data.Length,
         "condition params_size does not match its texts");
  return condition;
}

tConnectionRow DecodeRow(const tConstByteView& answer, uint32_t base) {
  using namespace ConnectionRowLayout;
  tConnectionRow row;
  row.Offset = base;
  row.RowSize = answer.ReadU32(base + RowSize);
  Expect(answer.Holds(base, row.RowSize), "a row_size runs past the end of the buffer");
  row.Key = ReadText(answer, base, KeyOffset, KeyLength);
  row.ItemId = answer.ReadI32(base + ItemId);
  row.WayDesc = ReadText(answer, base, WayDescOffset, WayDescLength);
  Expect(row.Key.Offset == HeadSize, "connection_key_offset is not 24");
  Expect(uint64_t{row.WayDesc.Offset} == uint64_t{HeadSize} + row.Key.Length,
         "connection_way_desc_offset does not follow the key");
  Expect(uint64_t{row.RowSize} == uint64_t{HeadSize} + row.Key.Length + row.WayDesc.Length,
         "row_size does not match the row's texts");
  return row;
}

void DecodeParams(const tConstByteView& answer, tMenuItemAnswer& item) {
  Expect(item.ParamsOffset == ItemDescLayout::MinSize, "params_offset is not 60");
  Expect(answer.Holds(item.ParamsOffset, item.ParamsSize),
         "the parameter block runs past the end of the buffer");
  if (item.ServiceId == MenuService_Voice)
    item.Voice = DecodeVoiceBlock(answer, item.ParamsOffset, item.ParamsSize);
  else if (item.ServiceId == MenuService_Condition)
    item.Condition = DecodeConditionBlock(answer, item.ParamsOffset, item.ParamsSize);
  else
    Expect(item.ParamsSize == 0, "an item without parameters has a params_size");
}

void DecodeNames(const tConstByteView& answer, tMenuItemAnswer& item) {
  using namespace ItemDescLayout;
  item.ItemName = ReadText(answer, 0, ItemNameOffset, ItemNameLength);
  item.ConnectionName = ReadText(answer, 0, ConnectionNameOffset, ConnectionNameLength);
  Expect(uint64_t{item.ItemName.Offset} == uint64_t{item.ParamsOffset} + item.ParamsSize,
         "item_name_offset does not follow the parameter block");
  Expect(
      uint64_t{item.ConnectionName.Offset} == uint64_t{item.ItemName.Offset} + item.ItemName.Length,
      "connection_name_offset does not follow the item name");
  Expect(uint64_t{item.ConnectionsOffset} ==
             uint64_t{item.ConnectionName.Offset} + item.ConnectionName.Length,
         "connections_offset does not follow the connection name");
}

void DecodeRows(const tConstByteView& answer, tMenuItemAnswer& item) {
  uint64_t next = item.ConnectionsOffset;
  for (uint32_t index = 0; index < item.ConnectionsCount; ++index) {
    Expect(answer.Holds(next, ConnectionRowLayout::HeadSize),
           "connections_count promises more rows than the buffer holds");
    item.Rows.push_back(DecodeRow(answer, static_cast<uint32_t>(next)));
    next += item.Rows.back().RowSize;
  }
  Expect(next == item.Size, "the rows do not end at the end of the buffer");
}

}  // namespace

tByteView CommandView(uint8_t* buffer) {
  return tByteView(buffer, ReadLE32(buffer + EnvelopeSizeOffset));
}

int32_t ReadMenuId(const tConstByteView& request) {
  return request.ReadI32(StartItemLayout::MenuId);
}

void WriteMenuStartItemId(tByteView& buffer, int32_t itemId) {
  buffer.WriteI32(StartItemLayout::MenuStartItemId, itemId);
}

int32_t ReadMenuStartItemId(const tConstByteView& answer) {
  return answer.ReadI32(StartItemLayout::MenuStartItemId);
}

std::vector<uint8_t> BuildStartItemRequest(int32_t menuId) {
  auto request = NewRequest(DynMenuCmd_GetStartMenuItem, StartItemLayout::MinSize);
  tByteView view(request.data(), StartItemLayout::MinSize);
  view.WriteI32(StartItemLayout::MenuId, menuId);
  return request;
}

bool ActionKeyFits(const tConstByteView& request) {
  const uint32_t length = request.ReadU32(ActionLayout::ItemKeyLength);
  return length == 0 || request.Holds(request.ReadU32(ActionLayout::ItemKeyOffset), length);
}

tActionRequest ReadActionRequest(const tConstByteView& request) {
  tActionRequest action;
  action.SessionId = request.ReadI32(ActionLayout::SessionId);
  action.ItemId = request.ReadI32(ActionLayout::ItemId);
  const uint32_t keyLength = request.ReadU32(ActionLayout::ItemKeyLength);
  if (keyLength != 0)
    action.ItemKey = request.ReadBytes(request.ReadU32(ActionLayout::ItemKeyOffset), keyLength);
  return action;
}

std::vector<uint8_t> BuildActionRequest(int32_t sessionId, int32_t itemId,
                                        const std::string& itemKey) {
  const uint64_t length = uint64_t{ActionLayout::MinSize} + itemKey.size();
  if (length > std::numeric_limits<uint32_t>::max()) throw tLayoutError("item key too long");
  auto request = NewRequest(DynMenuCmd_PostMenuAction, static_cast<uint32_t>(length));
  tByteView view(request.data(), static_cast<uint32_t>(length));
  view.WriteI32(ActionLayout::SessionId, sessionId);
  view.WriteI32(ActionLayout::ItemId, itemId);
  view.WriteU32(ActionLayout::ItemKeyOffset, ActionLayout::MinSize);
  view.WriteU32(ActionLayout::ItemKeyLength, Length32(itemKey));
  view.WriteBytes(ActionLayout::MinSize, itemKey);
  return request;
}

int32_t ReadMenuItemId(const tConstByteView& request) {
  return request.ReadI32(ItemDescLayout::MenuItemId);
}

uint64_t ParamsBlockLength(const tMenuItemDesc& desc) {
  if (desc.ServiceId == MenuService_Voice)
    return uint64_t{VoiceBlockLayout::HeadSize} + desc.Voice.SynthezList.size() +
           desc.Voice.MacroName.size();
  if (desc.ServiceId == MenuService_Condition)
    return uint64_t{ConditionBlockLayout::HeadSize} + ConditionBlockLayout::TailSize +
           desc.Condition.ProcessorName.size() + desc.Condition.Data.size();
  return 0;
}

uint64_t MenuItemAnswerLength(const tMenuItemDesc& desc) {
  uint64_t length = uint64_t{ItemDescLayout::MinSize} + ParamsBlockLength(desc) +
                    desc.ItemName.size() + desc.ConnectionName.size();
  for (const auto& row : desc.Connections)
    length += uint64_t{ConnectionRowLayout::HeadSize} + row.Key.size() + row.WayDesc.size();
  return length;
}

void WriteMenuItemAnswer(tByteView& answer, const tMenuItemDesc& desc) {
  using namespace ItemDescLayout;
  if (MenuItemAnswerLength(desc) != answer.Length())
    throw tLayoutError("answer block does not have the answer's exact length");
  // The length fits in 32 bits, so every offset below does too.
  const uint32_t paramsSize = static_cast<uint32_t>(ParamsBlockLength(desc));
  const uint32_t nameOffset = MinSize + paramsSize;
  const uint32_t connectionNameOffset = nameOffset + Length32(desc.ItemName);
  const uint32_t connectionsOffset = connectionNameOffset + Length32(desc.ConnectionName);
  answer.WriteU32(EnvelopeSizeOffset, answer.Length());
  answer.WriteI32(MenuServiceId, desc.ServiceId);
  answer.WriteU32(ParamsOffset, MinSize);
  answer.WriteU32(ParamsSize, paramsSize);
  answer.WriteU32(ItemNameOffset, nameOffset);
  answer.WriteU32(ItemNameLength, Length32(desc.ItemName));
  answer.WriteI32(MenuConnectionId, desc.ConnectionId);
  answer.WriteU32(ConnectionNameOffset, connectionNameOffset);
  answer.WriteU32(ConnectionNameLength, Length32(desc.ConnectionName));
  answer.WriteU32(ConnectionsOffset, connectionsOffset);
  answer.WriteU32(ConnectionsCount, static_cast<uint32_t>(desc.Connections.size()));
  WriteParamsBlock(answer, desc);
  answer.WriteBytes(nameOffset, desc.ItemName);
  answer.WriteBytes(connectionNameOffset, desc.ConnectionName);
  uint32_t rowOffset = connectionsOffset;
  for (const auto& row : desc.Connections) {
    WriteRow(answer, rowOffset, row);
    rowOffset += RowLength(row);
  }
}

std::vector<uint8_t> BuildMenuItemRequest(int32_t itemId, uint32_t length) {
  if (length < ItemDescLayout::MenuItemId + 4) throw tLayoutError("request too short");
  auto request = NewRequest(DynMenuCmd_GetMenuItemDesc, length);
  tByteView view(request.data(), length);
  view.WriteI32(ItemDescLayout::MenuItemId, itemId);
  return request;
}

tMenuItemDesc tMenuItemAnswer::Desc() const {
  tMenuItemDesc desc;
  desc.ServiceId = ServiceId;
  desc.ConnectionId = ConnectionId;
  desc.ItemName = ItemName.Bytes;
  desc.ConnectionName = ConnectionName.Bytes;
  if (Voice) {
    desc.Voice.SynthezList = Voice->SynthezList.Bytes;
    desc.Voice.MacroName = Voice->MacroName.Bytes;
    desc.Voice.SynthezPlace = Voice->SynthezPlace;
    desc.Voice.RepeatCount = Voice->RepeatCount;
    desc.Voice.Timeout = Voice->Timeout;
  }
  if (Condition) {
    desc.Condition.ProcessorName = Condition->Plugin.Bytes;
    desc.Condition.Data = Condition->Data.Bytes;
  }
  for (const auto& row : Rows)
    desc.Connections.push_back({row.Key.Bytes, row.ItemId, row.WayDesc.Bytes});
  return desc;
}

tMenuItemAnswer DecodeMenuItemAnswer(const tConstByteView& answer) {
  using namespace ItemDescLayout;
  Expect(answer.Length() >= MinSize, "shorter than the 60-byte fixed part");
  tMenuItemAnswer item;
  item.Size = answer.ReadU32(EnvelopeSizeOffset);
  Expect(item.Size == answer.Length(), "size does not match the buffer's length");
  item.MenuItemId = answer.ReadI32(MenuItemId);
  item.ServiceId = answer.ReadI32(MenuServiceId);
  item.ParamsOffset = answer.ReadU32(ParamsOffset);
  item.ParamsSize = answer.ReadU32(ParamsSize);
  item.ConnectionId = answer.ReadI32(MenuConnectionId);
  item.ConnectionsOffset = answer.ReadU32(ConnectionsOffset);
  item.ConnectionsCount = answer.ReadU32(ConnectionsCount);
  DecodeParams(answer, item);
  DecodeNames(answer, item);
  DecodeRows(answer, item);
  return item;
}
