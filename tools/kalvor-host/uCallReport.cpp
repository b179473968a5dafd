#include "uCallReport.h"

#include "uAnswerText.h"
#include "uCp1251.h"
#include "uJson.h"

namespace {

const char* ViaName(tStepVia via) {
  switch (via) {
    case tStepVia::Start:
      return "start";
    case tStepVia::Key:
      return "key";
    case tStepVia::Condition:
      break;
  }
  return "condition";
}

std::string ItemLine(const tItemDescAnswer& answer) {
  const std::string head = "[" + std::to_string(answer.MenuItemId) + "] ";
  if (!answer.Item) return head + FailureSummary(answer);
  const auto& item = *answer.Item;
  return head + QuotedText(item.ItemName.Bytes) + " " + KindName(item.ServiceId);
}

// What the caller hears, or what the condition item asks.
std::string ItemDetail(const tItemDescAnswer& answer) {
  if (!answer.Item) return {};
  const auto& item = *answer.Item;
  if (item.Voice)
    return "    prompt " + QuotedText(item.Voice->SynthezList.Bytes) + ", macro " +
           QuotedText(item.Voice->MacroName.Bytes) + "\n";
  if (item.Condition)
    return "    condition " + QuotedText(item.Condition->Plugin.Bytes) + " " +
           QuotedText(item.Condition->Data.Bytes) + "\n";
  return {};
}

std::string StepLead(const tCallStep& step, bool dryRun) {
  if (step.Via == tStepVia::Start) return "start ";
  const std::string way = step.WayDesc.empty() ? "" : " (" + QuotedText(step.WayDesc) + ")";
  if (step.Via == tStepVia::Condition) return "condition is " + step.Key + way + " -> ";
  return "key " + QuotedKey(step.Key) + way +
         (dryRun          ? ""
          : step.Recorded ? " recorded"
                          : "") +
         " -> ";
}

std::string ItemJson(const tItemDescAnswer& answer) {
  tJsonObject json;
  json.Add("item_id", answer.MenuItemId).Add("result_code", answer.Envelope.ResultCode);
  if (answer.Missing) json.AddText("missing", MissingCauseName(*answer.Missing));
  if (!answer.Item) return json.Text();
  const auto& item = *answer.Item;
  json.AddText("item_name", Cp1251ToUtf8(item.ItemName.Bytes))
      .AddText("kind", KindName(item.ServiceId));
  if (item.Voice)
    json.AddText("prompt", Cp1251ToUtf8(item.Voice->SynthezList.Bytes))
        .AddText("macro_name", Cp1251ToUtf8(item.Voice->MacroName.Bytes));
  if (item.Condition)
    json.AddText("condition", Cp1251ToUtf8(item.Condition->Plugin.Bytes))
        .AddText("condition_data", Cp1251ToUtf8(item.Condition->Data.Bytes));
  return json.Text();
}

std::string StepJson(const tCallStep& step) {
  tJsonObject json;
  json.AddText("via", ViaName(step.Via));
  if (step.Via != tStepVia::Start)
    json.AddText("key", Cp1251ToUtf8(step.Key))
        .Add("from_item_id", step.FromItemId)
        .AddText("way_desc", Cp1251ToUtf8(step.WayDesc))
        .AddRaw("recorded", step.Recorded ? "true" : "false");
  return json.AddRaw("item", ItemJson(step.Item)).Text();
}

}  // namespace

std::string CallText(const tCallHeader& header, const tCall& call) {
  std::string text =
      "menu " + std::to_string(header.MenuId) + ", session " + std::to_string(header.SessionId) +
      (header.DryRun ? " (dry run: nothing recorded)\n" : " (keys recorded with command 102)\n");
  for (const auto& step : call.Steps)
    text += StepLead(step, header.DryRun) + ItemLine(step.Item) + "\n" + ItemDetail(step.Item);
  if (!call.StoppedBecause.empty()) text += "stopped: " + call.StoppedBecause + "\n";
  if (!call.KeysLeft.empty()) {
    std::string keys;
    for (const auto& key : call.KeysLeft) keys += (keys.empty() ? "" : ", ") + QuotedKey(key);
    text += "keys not pressed: " + keys + "\n";
  }
  return text;
}

std::string CallJson(const tCallHeader& header, const tCall& call) {
  std::vector<std::string> steps;
  for (const auto& step : call.Steps) steps.push_back(StepJson(step));
  std::vector<std::string> keysLeft;
  for (const auto& key : call.KeysLeft) keysLeft.push_back(JsonString(Cp1251ToUtf8(key)));
  tJsonObject json;
  json.Add("menu_id", header.MenuId)
      .Add("session_id", header.SessionId)
      .AddRaw("dry_run", header.DryRun ? "true" : "false")
      .AddRaw("steps", JsonArray(steps))
      .AddRaw("completed", call.StoppedBecause.empty() ? "true" : "false")
      .AddRaw("stopped", call.StoppedBecause.empty() ? "null" : JsonString(call.StoppedBecause))
      .AddRaw("keys_left", JsonArray(keysLeft));
  return json.Text();
}
