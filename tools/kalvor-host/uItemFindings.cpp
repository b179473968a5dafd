#include "uItemFindings.h"

#include <algorithm>

#include <kalvor/menu_commands.h>

#include "uAnswerText.h"
#include "uCp1251.h"

namespace {

std::string Id(int64_t number) {
  return std::to_string(number);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool BlankPadded(const std::string& key) {
  return !key.empty() && (IsBlank(key.front()) || IsBlank(key.back()));
}

std::string RowPlace(int32_t itemId, const tMenuItemAnswer& item, const tConnectionRow& row) {
  return ItemTitle(itemId, item) + ": connection " + Id(item.ConnectionId) + " has key " +
         QuotedKey(row.Key.Bytes) + " to item " + Id(row.ItemId);
}

std::optional<tFinding> ConditionKeyFinding(int32_t itemId, const tMenuItemAnswer& item,
                                            const tConnectionRow& row) {
  const std::string& key = row.Key.Bytes;
  if (key == "TRUE" || key == "FALSE") return std::nullopt;
  return tFinding{tSeverity::Error, "bad-condition-key", itemId,
                  RowPlace(itemId, item, row) +
                      ": a condition follows only the keys TRUE and FALSE, in capitals and "
                      "without blanks, so this row is never taken"};
}

// The keys of a telephone's keypad, with the four a DTMF keypad adds.
bool IsPhoneKey(const std::string& key) {
  return key.find_first_not_of("0123456789*#ABCD") == std::string::npos;
}

std::optional<tFinding> VoiceKeyFinding(int32_t itemId, const tMenuItemAnswer& item,
                                        const tConnectionRow& row) {
  if (row.Key.Bytes.empty())
    return tFinding{
        tSeverity::Error, "empty-key", itemId,
        RowPlace(itemId, item, row) + ": the key is empty or NULL, and no caller can press it"};
  if (BlankPadded(row.Key.Bytes))
    return tFinding{tSeverity::Error, "blank-padded-key", itemId,
                    RowPlace(itemId, item, row) +
                        ": blanks around the key, so the key a caller presses never matches"};
  if (item.ServiceId == KALVOR_SERVICE_VOICE && !IsPhoneKey(row.Key.Bytes))
    return tFinding{tSeverity::Warning, "not-a-phone-key", itemId,
                    RowPlace(itemId, item, row) +
                        ": a phone sends only 0-9, *, # and A-D, so no caller can press it"};
  return std::nullopt;
}

void AddText(std::vector<tFinding>& findings, int32_t itemId, const std::string& field,
             const std::string& bytes) {
  if (!IsUtf8OfCp1251Text(bytes)) return;
  findings.push_back({tSeverity::Error, "utf8-as-cp1251", itemId,
                      "item " + Id(itemId) + " " + field + " " + QuotedText(bytes) +
                          " is UTF-8 stored as Windows-1251 (it reads " +
                          QuotedText(Utf8ToCp1251(bytes)) +
                          "): load a UTF-8 file with isql-fb -ch UTF8"});
}

std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + QuotedText(name);
  return text.empty() ? "none given" : text;
}

}  // namespace

std::vector<tFinding> KeyFindings(int32_t itemId, const tMenuItemAnswer& item) {
  std::vector<tFinding> findings;
  const bool condition = item.ServiceId == KALVOR_SERVICE_CONDITION;
  for (const auto& row : item.Rows) {
    auto finding =
        condition ? ConditionKeyFinding(itemId, item, row) : VoiceKeyFinding(itemId, item, row);
    if (finding) findings.push_back(std::move(*finding));
  }
  return findings;
}

std::vector<tFinding> TextFindings(int32_t itemId, const tMenuItemAnswer& item) {
  std::vector<tFinding> findings;
  AddText(findings, itemId, "MENU_ITEM_NAME", item.ItemName.Bytes);
  const std::string connection = " of connection " + Id(item.ConnectionId);
  AddText(findings, itemId, "CONNECTION_NAME" + connection, item.ConnectionName.Bytes);
  if (item.Voice) {
    AddText(findings, itemId, "ITEM_SYNTHEZ_LIST", item.Voice->SynthezList.Bytes);
    AddText(findings, itemId, "ITEM_MACRO_NAME", item.Voice->MacroName.Bytes);
  }
  if (item.Condition) {
    AddText(findings, itemId, "CONDITION_PROCESSOR_NAME", item.Condition->Plugin.Bytes);
    AddText(findings, itemId, "CONDITION_DATA", item.Condition->Data.Bytes);
  }
  for (size_t index = 0; index < item.Rows.size(); ++index) {
    const std::string row = " of row " + Id(static_cast<int64_t>(index + 1)) + connection;
    AddText(findings, itemId, "CONNECTION_KEY" + row, item.Rows[index].Key.Bytes);
    AddText(findings, itemId, "CONNECTION_WAY_DESC" + row, item.Rows[index].WayDesc.Bytes);
  }
  return findings;
}

std::vector<tFinding> VoiceFindings(int32_t itemId, const tMenuItemAnswer& item,
                                    const tKnownVariables& variables) {
  std::vector<tFinding> findings;
  if (!item.Voice) return findings;
  const auto& voice = *item.Voice;
  // -1 is what the answer holds for an empty time-out: the host's own default.
  if (voice.Timeout < 0 && voice.Timeout != KALVOR_MISSING_TIMEOUT)
    findings.push_back({tSeverity::Error, "bad-timeout", itemId,
                        ItemTitle(itemId, item) + " has time-out " + Id(voice.Timeout) +
                            ": a time-out is 0 or more milliseconds, or empty for the default"});
  if (voice.Timeout >= 0 && voice.Timeout < 1000)
    findings.push_back({tSeverity::Warning, "short-timeout", itemId,
                        ItemTitle(itemId, item) + " has time-out " + Id(voice.Timeout) +
                            " ms: typed in seconds? ITEM_TIMEOUT is in milliseconds (30000 "
                            "waits 30 seconds)"});
  if (voice.RepeatCount < 1)
    findings.push_back({tSeverity::Error, "bad-repeat-count", itemId,
                        ItemTitle(itemId, item) + " has repeat count " + Id(voice.RepeatCount) +
                            ": a prompt is played at least once, or empty for once"});
  if (!variables) return findings;
  for (const auto& name : Placeholders(voice.SynthezList.Bytes))
    if (std::find(variables->begin(), variables->end(), name) == variables->end())
      findings.push_back(
          {tSeverity::Error, "unknown-variable", itemId,
           ItemTitle(itemId, item) + " prompts with " + QuotedText("{" + name + "}") +
               ", which is not among the variables the host fills (" + Listed(*variables) + ")"});
  return findings;
}

std::vector<std::string> Placeholders(const std::string& prompt) {
  std::vector<std::string> names;
  size_t open = prompt.find('{');
  while (open != std::string::npos) {
    const size_t close = prompt.find_first_of("{}", open + 1);
    if (close == std::string::npos) break;
    if (prompt[close] == '}') {
      std::string name = prompt.substr(open + 1, close - open - 1);
      if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(std::move(name));
    }
    open = prompt.find('{', close);
  }
  return names;
}
