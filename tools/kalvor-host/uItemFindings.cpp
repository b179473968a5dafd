#include "uItemFindings.h"

#include <algorithm>

#include <kalvor/menu_commands.h>

#include "uAnswerText.h"

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
         QuotedText(row.Key.Bytes) + " to item " + Id(row.ItemId);
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
  return std::nullopt;
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
