#include "uAnswerText.h"

#include <algorithm>
#include <cstdio>

#include "uCp1251.h"

namespace {

std::string Line(const std::string& indent, const std::string& name, const std::string& value) {
  char label[40];
  std::snprintf(label, sizeof label, "%-*s", static_cast<int>(28 - indent.size()), name.c_str());
  return indent + label + value + "\n";
}

std::string Number(int64_t value) {
  return std::to_string(value);
}

std::string TextValue(const tTextField& text) {
  return "offset " + Number(text.Offset) + ", length " + Number(text.Length) + ", " +
         QuotedText(text.Bytes);
}

std::string VoiceText(const tVoiceBlock& voice) {
  const std::string in = "  ";
  return "voice parameters\n" + Line(in, "synthez_list", TextValue(voice.SynthezList)) +
         Line(in, "voice_synthez_place", Number(voice.SynthezPlace)) +
         Line(in, "voice_timeout", Number(voice.Timeout)) +
         Line(in, "voice_repeat_count", Number(voice.RepeatCount)) +
         Line(in, "macro_name", TextValue(voice.MacroName));
}

std::string ConditionText(const tConditionBlock& condition) {
  const std::string in = "  ";
  return "condition parameters\n" + Line(in, "cond_plugin", TextValue(condition.Plugin)) +
         Line(in, "cond_data", TextValue(condition.Data));
}

std::string RowText(size_t index, const tConnectionRow& row) {
  const std::string in = "  ";
  return "connection row " + Number(static_cast<int64_t>(index + 1)) + " at offset " +
         Number(row.Offset) + "\n" + Line(in, "row_size", Number(row.RowSize)) +
         Line(in, "connection_key", TextValue(row.Key)) +
         Line(in, "connection_item_id", Number(row.ItemId)) +
         Line(in, "connection_way_desc", TextValue(row.WayDesc));
}

std::string MenuItemText(const tMenuItemAnswer& item) {
  std::string text =
      Line("", "menu_service_id", Number(item.ServiceId) + " (" + KindName(item.ServiceId) + ")") +
      Line("", "params_offset", Number(item.ParamsOffset)) +
      Line("", "params_size", Number(item.ParamsSize)) +
      Line("", "item_name", TextValue(item.ItemName)) +
      Line("", "menu_connection_id", Number(item.ConnectionId)) +
      Line("", "connection_name", TextValue(item.ConnectionName)) +
      Line("", "connections_offset", Number(item.ConnectionsOffset)) +
      Line("", "connections_count", Number(item.ConnectionsCount));
  if (item.Voice) text += VoiceText(*item.Voice);
  if (item.Condition) text += ConditionText(*item.Condition);
  for (size_t index = 0; index < item.Rows.size(); ++index)
    text += RowText(index, item.Rows[index]);
  return text;
}

}  // namespace

std::string KindName(int32_t serviceId) {
  if (serviceId == KALVOR_SERVICE_VOICE) return "voice";
  if (serviceId == KALVOR_SERVICE_CONDITION) return "condition";
  return "service " + Number(serviceId);
}

std::string ItemTitle(int32_t itemId, const tMenuItemAnswer& item) {
  return KindName(item.ServiceId) + " item " + Number(itemId) + " " +
         QuotedText(item.ItemName.Bytes);
}

std::string QuotedText(const std::string& cp1251) {
  std::string shown;
  for (const char c : Cp1251ToUtf8(cp1251)) {
    if (static_cast<unsigned char>(c) >= 0x20) {
      shown += c;
      continue;
    }
    // Line breaks and other control bytes would break the layout of the output.
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(c));
    shown += escaped;
  }
  return "\"" + shown + "\"";
}

std::string QuotedKey(const std::string& cp1251) {
  std::string codes;
  for (const char c : cp1251) {
    char code[4];
    std::snprintf(code, sizeof code, "%02X", static_cast<unsigned char>(c));
    codes += (codes.empty() ? "" : " ") + std::string(code);
  }
  const bool ascii = std::all_of(cp1251.begin(), cp1251.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  return QuotedText(cp1251) + (ascii ? "" : " (bytes " + codes + ")");
}

std::string EnvelopeText(const tEnvelope& envelope) {
  return Line("", "size", Number(envelope.Size)) + Line("", "command", Number(envelope.Command)) +
         Line("", "outcome",
              Number(envelope.Outcome) + (envelope.Succeeded() ? " (succeeded)" : " (failed)")) +
         Line("", "result_code",
              Number(envelope.ResultCode) + " (" + ResultMeaning(envelope.ResultCode) + ")");
}

std::string StartItemText(const tStartItemAnswer& answer) {
  return EnvelopeText(answer.Envelope) + Line("", "menu_id", Number(answer.MenuId)) +
         Line("", "menu_start_itemid",
              Number(answer.MenuStartItemId) +
                  (answer.Envelope.Succeeded() ? "" : " (as sent; not an answer)"));
}

std::string ActionText(const tActionAnswer& answer) {
  return EnvelopeText(answer.Envelope) + Line("", "session_id", Number(answer.SessionId)) +
         Line("", "item_id", Number(answer.ItemId)) +
         Line("", "item_key",
              "offset " + Number(answer.ItemKeyOffset) + ", length " +
                  Number(answer.ItemKeyLength) + ", " +
                  (answer.ItemKey ? QuotedText(*answer.ItemKey) : "outside the buffer"));
}

std::string FailureSummary(const tItemDescAnswer& answer) {
  const std::string code = "result code " + Number(answer.Envelope.ResultCode);
  if (answer.Missing) return MissingCauseText(*answer.Missing) + " (" + code + ")";
  const bool notFound = answer.Envelope.ResultCode == KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND;
  return std::string(notFound ? "not found (" : "not read (") + code + ", " +
         ResultMeaning(answer.Envelope.ResultCode) + ")";
}

std::string StartFailureText(const tStartItemAnswer& answer) {
  const std::string menu = "menu " + Number(answer.MenuId);
  if (answer.Envelope.ResultCode == KALVOR_RESULT_TOO_SMALL_OR_NOT_FOUND)
    return menu + " has no start item (the menu does not exist, or its start item is empty)";
  return menu + ": command 100 failed with result code " + Number(answer.Envelope.ResultCode) +
         " (" + ResultMeaning(answer.Envelope.ResultCode) + ")";
}

std::string ItemDescText(const tItemDescAnswer& answer) {
  std::string text =
      EnvelopeText(answer.Envelope) + Line("", "menu_item_id", Number(answer.MenuItemId));
  if (answer.Missing) text += Line("", "missing", "the item " + MissingCauseText(*answer.Missing));
  if (answer.Item) text += MenuItemText(*answer.Item);
  return text;
}
