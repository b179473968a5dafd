#include "uMenuItemAnswer.h"

#include <kalvor/menu_commands.h>

namespace {

void Expect(bool holds, const std::string& what) {
  if (!holds) throw tAnswerError("inconsistent menu item answer: " + what);
}

// A text whose offset field counts from base; the bytes must lie inside the buffer.
tTextField ReadText(const tAnswerReader& buffer, uint64_t base, uint32_t offsetField,
                    uint32_t lengthField) {
  tTextField text;
  text.Offset = buffer.U32(base + offsetField);
  text.Length = buffer.U32(base + lengthField);
  text.Bytes = buffer.Bytes(base + text.Offset, text.Length);
  return text;
}

tVoiceBlock DecodeVoiceBlock(const tAnswerReader& answer, uint32_t base, uint32_t blockSize) {
  Expect(blockSize >= KALVOR_VOICE_HEAD_LENGTH, "voice params_size below the 28-byte head");
  tVoiceBlock voice;
  voice.SynthezList =
      ReadText(answer, base, KALVOR_VOICE_SYNTHEZ_LIST_OFFSET, KALVOR_VOICE_SYNTHEZ_LIST_LENGTH);
  voice.SynthezPlace = answer.I32(base + KALVOR_VOICE_SYNTHEZ_PLACE);
  voice.Timeout = answer.I32(base + KALVOR_VOICE_TIMEOUT);
  voice.RepeatCount = answer.I32(base + KALVOR_VOICE_REPEAT_COUNT);
  voice.MacroName =
      ReadText(answer, base, KALVOR_VOICE_MACRO_NAME_OFFSET, KALVOR_VOICE_MACRO_NAME_LENGTH);
  const uint64_t head = KALVOR_VOICE_HEAD_LENGTH;
  Expect(voice.SynthezList.Offset == head, "synthez_list_offset is not 28");
  Expect(voice.MacroName.Offset == head + voice.SynthezList.Length,
         "macro_name_offset does not follow the synthesis list");
  Expect(blockSize == head + voice.SynthezList.Length + voice.MacroName.Length,
         "voice params_size does not match its texts");
  return voice;
}

tConditionBlock DecodeConditionBlock(const tAnswerReader& answer, uint32_t base,
                                     uint32_t blockSize) {
  const uint64_t head = KALVOR_CONDITION_HEAD_LENGTH;
  Expect(blockSize >= head + KALVOR_CONDITION_TAIL_LENGTH, "condition params_size below 24");
  tConditionBlock condition;
  condition.Plugin =
      ReadText(answer, base, KALVOR_CONDITION_PLUGIN_OFFSET, KALVOR_CONDITION_PLUGIN_LENGTH);
  condition.Data =
      ReadText(answer, base, KALVOR_CONDITION_DATA_OFFSET, KALVOR_CONDITION_DATA_LENGTH);
  Expect(condition.Plugin.Offset == head, "cond_plugin_offset is not 16");
  Expect(condition.Data.Offset == head + condition.Plugin.Length,
         "cond_data_offset does not follow the processor name");
  Expect(blockSize ==
             head + KALVOR_CONDITION_TAIL_LENGTH + condition.Plugin.Length + condition.Data.Length,
         "condition params_size does not match its texts");
  return condition;
}

tConnectionRow DecodeRow(const tAnswerReader& answer, uint32_t base) {
  const uint64_t head = KALVOR_ROW_HEAD_LENGTH;
  tConnectionRow row;
  row.Offset = base;
  row.RowSize = answer.U32(base + KALVOR_ROW_SIZE);
  Expect(answer.Holds(base, row.RowSize), "a row_size runs past the end of the buffer");
  row.Key = ReadText(answer, base, KALVOR_ROW_KEY_OFFSET, KALVOR_ROW_KEY_LENGTH);
  row.ItemId = answer.I32(base + KALVOR_ROW_ITEM_ID);
  row.WayDesc = ReadText(answer, base, KALVOR_ROW_WAY_DESC_OFFSET, KALVOR_ROW_WAY_DESC_LENGTH);
  Expect(row.Key.Offset == head, "connection_key_offset is not 24");
  Expect(row.WayDesc.Offset == head + row.Key.Length,
         "connection_way_desc_offset does not follow the key");
  Expect(row.RowSize == head + row.Key.Length + row.WayDesc.Length,
         "row_size does not match the row's texts");
  return row;
}

void DecodeParams(const tAnswerReader& answer, tMenuItemAnswer& item) {
  Expect(item.ParamsOffset == KALVOR_ITEM_LENGTH, "params_offset is not 60");
  Expect(answer.Holds(item.ParamsOffset, item.ParamsSize),
         "the parameter block runs past the end of the buffer");
  if (item.ServiceId == KALVOR_SERVICE_VOICE)
    item.Voice = DecodeVoiceBlock(answer, item.ParamsOffset, item.ParamsSize);
  else if (item.ServiceId == KALVOR_SERVICE_CONDITION)
    item.Condition = DecodeConditionBlock(answer, item.ParamsOffset, item.ParamsSize);
  else
    Expect(item.ParamsSize == 0, "an item without parameters has a params_size");
}

void DecodeNames(const tAnswerReader& answer, tMenuItemAnswer& item) {
  item.ItemName = ReadText(answer, 0, KALVOR_ITEM_NAME_OFFSET, KALVOR_ITEM_NAME_LENGTH);
  item.ConnectionName =
      ReadText(answer, 0, KALVOR_ITEM_CONNECTION_NAME_OFFSET, KALVOR_ITEM_CONNECTION_NAME_LENGTH);
  Expect(uint64_t{item.ItemName.Offset} == uint64_t{item.ParamsOffset} + item.ParamsSize,
         "item_name_offset does not follow the parameter block");
  Expect(
      uint64_t{item.ConnectionName.Offset} == uint64_t{item.ItemName.Offset} + item.ItemName.Length,
      "connection_name_offset does not follow the item name");
  Expect(uint64_t{item.ConnectionsOffset} ==
             uint64_t{item.ConnectionName.Offset} + item.ConnectionName.Length,
         "connections_offset does not follow the connection name");
}

void DecodeRows(const tAnswerReader& answer, tMenuItemAnswer& item) {
  uint64_t next = item.ConnectionsOffset;
  for (uint32_t index = 0; index < item.ConnectionsCount; ++index) {
    Expect(answer.Holds(next, KALVOR_ROW_HEAD_LENGTH),
           "connections_count promises more rows than the buffer holds");
    item.Rows.push_back(DecodeRow(answer, static_cast<uint32_t>(next)));
    next += item.Rows.back().RowSize;
  }
  Expect(next == item.Size, "the rows do not end at the end of the buffer");
}

}  // namespace

tMenuItemAnswer DecodeMenuItemAnswer(const tAnswerReader& answer) {
  Expect(answer.Length() >= KALVOR_ITEM_LENGTH, "shorter than the 60-byte fixed part");
  tMenuItemAnswer item;
  item.Size = answer.U32(KALVOR_ENVELOPE_SIZE);
  Expect(item.Size == answer.Length(), "size does not match the buffer's length");
  item.MenuItemId = answer.I32(KALVOR_ITEM_MENU_ITEM_ID);
  item.ServiceId = answer.I32(KALVOR_ITEM_SERVICE_ID);
  item.ParamsOffset = answer.U32(KALVOR_ITEM_PARAMS_OFFSET);
  item.ParamsSize = answer.U32(KALVOR_ITEM_PARAMS_SIZE);
  item.ConnectionId = answer.I32(KALVOR_ITEM_CONNECTION_ID);
  item.ConnectionsOffset = answer.U32(KALVOR_ITEM_CONNECTIONS_OFFSET);
  item.ConnectionsCount = answer.U32(KALVOR_ITEM_CONNECTIONS_COUNT);
  DecodeParams(answer, item);
  DecodeNames(answer, item);
  DecodeRows(answer, item);
  return item;
}
