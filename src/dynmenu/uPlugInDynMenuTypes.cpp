#include "dynmenu/uPlugInDynMenuTypes.h"

namespace {

uint32_t Length32(const std::string& text) {
  return static_cast<uint32_t>(text.size());
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
