#include "uAnswerJson.h"

#include "uAnswerText.h"
#include "uCp1251.h"
#include "uJson.h"

namespace {

tJsonObject EnvelopeJson(const tEnvelope& envelope) {
  tJsonObject json;
  json.Add("size", envelope.Size)
      .Add("command", envelope.Command)
      .Add("outcome", envelope.Outcome)
      .Add("result_code", envelope.ResultCode)
      .AddText("result", ResultMeaning(envelope.ResultCode));
  return json;
}

void AddText(tJsonObject& json, const std::string& name, const tTextField& text) {
  json.Add(name + "_offset", text.Offset)
      .Add(name + "_length", text.Length)
      .AddText(name, Cp1251ToUtf8(text.Bytes));
}

std::string VoiceJson(const tVoiceBlock& voice) {
  tJsonObject json;
  AddText(json, "synthez_list", voice.SynthezList);
  json.Add("voice_synthez_place", voice.SynthezPlace)
      .Add("voice_timeout", voice.Timeout)
      .Add("voice_repeat_count", voice.RepeatCount);
  AddText(json, "macro_name", voice.MacroName);
  return json.Text();
}

std::string ConditionJson(const tConditionBlock& condition) {
  tJsonObject json;
  AddText(json, "cond_plugin", condition.Plugin);
  AddText(json, "cond_data", condition.Data);
  return json.Text();
}

std::string RowJson(const tConnectionRow& row) {
  tJsonObject json;
  json.Add("offset", row.Offset).Add("row_size", row.RowSize);
  AddText(json, "connection_key", row.Key);
  json.Add("connection_item_id", row.ItemId);
  AddText(json, "connection_way_desc", row.WayDesc);
  return json.Text();
}

void AddMenuItem(tJsonObject& json, const tMenuItemAnswer& item) {
  json.Add("menu_service_id", item.ServiceId)
      .AddText("kind", KindName(item.ServiceId))
      .Add("params_offset", item.ParamsOffset)
      .Add("params_size", item.ParamsSize);
  AddText(json, "item_name", item.ItemName);
  json.Add("menu_connection_id", item.ConnectionId);
  AddText(json, "connection_name", item.ConnectionName);
  json.Add("connections_offset", item.ConnectionsOffset)
      .Add("connections_count", item.ConnectionsCount);
  if (item.Voice) json.AddRaw("voice", VoiceJson(*item.Voice));
  if (item.Condition) json.AddRaw("condition", ConditionJson(*item.Condition));
  std::vector<std::string> rows;
  for (const auto& row : item.Rows) rows.push_back(RowJson(row));
  json.AddRaw("connections", JsonArray(rows));
}

}  // namespace

std::string StartItemJson(const tStartItemAnswer& answer) {
  return EnvelopeJson(answer.Envelope)
      .Add("menu_id", answer.MenuId)
      .Add("menu_start_itemid", answer.MenuStartItemId)
      .Text();
}

std::string ActionJson(const tActionAnswer& answer) {
  auto json = EnvelopeJson(answer.Envelope);
  json.Add("session_id", answer.SessionId)
      .Add("item_id", answer.ItemId)
      .Add("item_key_offset", answer.ItemKeyOffset)
      .Add("item_key_length", answer.ItemKeyLength);
  json.AddRaw("item_key", answer.ItemKey ? JsonString(Cp1251ToUtf8(*answer.ItemKey)) : "null");
  return json.Text();
}

std::string ItemDescJson(const tItemDescAnswer& answer) {
  auto json = EnvelopeJson(answer.Envelope);
  json.Add("menu_item_id", answer.MenuItemId);
  if (answer.Missing) json.AddText("missing", MissingCauseName(*answer.Missing));
  if (answer.Item) AddMenuItem(json, *answer.Item);
  return json.Text();
}
