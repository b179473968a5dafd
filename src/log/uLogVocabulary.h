// The words of the log that others read: kalvor-host explains a failed command
// from them and the suites count them. Writers and readers both take them from
// here, so a word changed on one side changes on the other.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// The session's frame around each command: the start line, then the end line
// "<--Operation was complete [<elapsed ms>]--".
inline constexpr char FrameStartLine[] = "--New Operation was complete started-->";
inline constexpr char FrameEndOpening[] = "<--Operation was complete [";

inline std::string FrameEndLine(uint32_t elapsedMs) {
  return FrameEndOpening + std::to_string(elapsedMs) + "]--";
}

// A database step's line: "%8d <step> IN[<inputs>] OUT[<outputs>]- <outcome>",
// the step's elapsed milliseconds right-aligned.
inline constexpr char StepStartItem[] = "GetStartMenuItem(MENU_GET_START_ITEM)";
inline constexpr char StepItem[] = "GetMenuItemDesc(MENU_GET_ITEM)";
inline constexpr char StepVoiceParams[] = "GetVoiceMenuItemParams(MENU_GET_VOICE_ITEM_PARAMS)";
inline constexpr char StepConditionParams[] =
    "GetConditionMenuItemParams(MENU_GET_COND_ITEM_PARAMS)";
inline constexpr char StepConnection[] = "GetMenuItemDesc(MENU_GET_CONNECTION)";
inline constexpr char StepMenuAction[] = "PostMenuAction(MENU_PROT_ACTIONS)";

inline constexpr char OutcomeSuccess[] = "SUCCESS";
inline constexpr char OutcomeNotFound[] = "NOT FOUND";
inline constexpr char OutcomeFail[] = "FAIL";
// What a step line ends with when its outcome is the given word.
inline std::string StepLineEnding(std::string_view outcome) {
  return "- " + std::string(outcome);
}

// "<step> IN[menu_item_id=<id>]": a step of command 101 that reads by the item.
inline std::string ItemStepText(const char* step, int32_t itemId) {
  return std::string(step) + " IN[menu_item_id=" + std::to_string(itemId) + "]";
}

// Where the lines go: Logs/YYYY_MM_DD/HH_<library file>.log beside the host
// program; a line with a prefix to <prefix>_HH_<library file>.log beside that.
inline constexpr char LogsFolderName[] = "Logs";
// The day folder and the hour as the writer's date-time pattern has them.
inline constexpr char DayFolderPattern[] = "YYYY\"_\"MM\"_\"DD";
inline constexpr char HourPattern[] = "HH";
// The prefix of the detailed lines' file.
inline constexpr char FullLogPrefix[] = "full";

// What follows the hour in an hourly file's name: "_Kalvor.dll.log".
inline std::string HourlyFileSuffix(std::string_view libraryFileName) {
  return "_" + std::string(libraryFileName) + ".log";
}

inline std::string DayFolderName(int year, int month, int day) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d_%02d_%02d", year, month, day);
  return name;
}

inline std::string HourlyFileName(int hour, std::string_view libraryFileName) {
  char name[16];
  std::snprintf(name, sizeof name, "%02d", hour);
  return name + HourlyFileSuffix(libraryFileName);
}

inline std::string PrefixedLogFileName(std::string_view prefix, std::string_view fileName) {
  return std::string(prefix) + "_" + std::string(fileName);
}
