#include "uMissingCause.h"

#include "log/uLogVocabulary.h"

namespace {

// The step line "%8d <step text> OUT[]- NOT FOUND" of the step that found nothing.
bool StepFoundNothing(const std::vector<std::string>& lines, const std::string& stepText) {
  for (const auto& line : lines)
    if (line.find(stepText) != std::string::npos && line.ends_with(StepLineEnding(OutcomeNotFound)))
      return true;
  return false;
}

}  // namespace

tMissingCause MissingCauseOf(int32_t itemId, const std::vector<std::string>& logLines) {
  if (StepFoundNothing(logLines, ItemStepText(StepItem, itemId))) return tMissingCause::Item;
  if (StepFoundNothing(logLines, ItemStepText(StepVoiceParams, itemId)))
    return tMissingCause::VoiceParams;
  if (StepFoundNothing(logLines, ItemStepText(StepConditionParams, itemId)))
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
