#include "uMissingCause.h"

namespace {

// The step line "%8d <step text> OUT[]- NOT FOUND" of the step that found nothing.
bool StepFoundNothing(const std::vector<std::string>& lines, const std::string& stepText) {
  for (const auto& line : lines)
    if (line.find(stepText) != std::string::npos && line.ends_with("- NOT FOUND")) return true;
  return false;
}

}  // namespace

tMissingCause MissingCauseOf(int32_t itemId, const std::vector<std::string>& logLines) {
  const std::string in = " IN[menu_item_id=" + std::to_string(itemId) + "]";
  if (StepFoundNothing(logLines, "GetMenuItemDesc(MENU_GET_ITEM)" + in)) return tMissingCause::Item;
  if (StepFoundNothing(logLines, "GetVoiceMenuItemParams(MENU_GET_VOICE_ITEM_PARAMS)" + in))
    return tMissingCause::VoiceParams;
  if (StepFoundNothing(logLines, "GetConditionMenuItemParams(MENU_GET_COND_ITEM_PARAMS)" + in))
    return tMissingCause::ConditionParams;
  return tMissingCause::Unknown;
}

std::string MissingCauseName(tMissingCause cause) {
  switch (cause) {
    case tMissingCause::Item:
      return "item";
    case tMissingCause::VoiceParams:
      return "voice_params";
    case tMissingCause::ConditionParams:
      return "condition_params";
    case tMissingCause::Unknown:
      break;
  }
  return "unknown";
}

std::string MissingCauseText(tMissingCause cause) {
  switch (cause) {
    case tMissingCause::Item:
      return "does not exist";
    case tMissingCause::VoiceParams:
      return "is a voice item without voice parameters";
    case tMissingCause::ConditionParams:
      return "is a condition item without condition parameters";
    case tMissingCause::Unknown:
      break;
  }
  return "was not found (the plugin's log does not say whether the item or its parameters are "
         "missing)";
}
