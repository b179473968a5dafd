#include "log/tLogRetention.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <utility>
#include <vector>

#include "log/uLogVocabulary.h"
#include "platform/Directories.h"
#include "platform/Format.h"
#include "platform/Paths.h"
#include "platform/WholeNumber.h"

namespace {
using namespace std::chrono;

// The number that count digits at text[at] write; none for anything else.
std::optional<unsigned> DigitsAt(const std::string& text, size_t at, size_t count) {
  if (at + count > text.size()) return std::nullopt;
  const tWholeNumber<unsigned> number =
      ReadWholeNumber<unsigned>(std::string_view(text).substr(at, count));
  if (!number.Read()) return std::nullopt;
  return number.Value;
}

// The day a folder named YYYY_MM_DD stands for.
std::optional<sys_days> DayOfFolder(const std::string& name) {
  if (name.size() != 10 || name[4] != '_' || name[7] != '_') return std::nullopt;
  const std::optional<unsigned> yearNumber = DigitsAt(name, 0, 4);
  const std::optional<unsigned> monthNumber = DigitsAt(name, 5, 2);
  const std::optional<unsigned> dayNumber = DigitsAt(name, 8, 2);
  if (!yearNumber || !monthNumber || !dayNumber) return std::nullopt;
  const year_month_day day{year(static_cast<int>(*yearNumber)), month(*monthNumber),
                           std::chrono::day(*dayNumber)};
  if (!day.ok()) return std::nullopt;
  return sys_days(day);
}

std::string DayText(sys_days day) {
  const year_month_day date(day);
  return Format("%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
  return text;
}
}  // namespace

tLogRetention::tLogRetention(std::string logsFolder, std::string moduleFileName, int32_t keepDays)
    : LogsFolder(std::move(logsFolder)),
      ModuleFileName(std::move(moduleFileName)),
      KeepDays(keepDays) {}

// HH_<module>.log, or <letters>_HH_<module>.log.
bool tLogRetention::IsOwnFile(const std::string& name) const {
  const std::string tail = HourlyFileSuffix(ModuleFileName);
  if (name.size() < 2 + tail.size() || name.compare(name.size() - tail.size(), tail.size(), tail))
    return false;
  const size_t hour = name.size() - tail.size() - 2;
  const std::optional<unsigned> hourNumber = DigitsAt(name, hour, 2);
  if (!hourNumber || *hourNumber > 23) return false;
  if (hour == 0) return true;
  if (name[hour - 1] != '_' || hour == 1) return false;
  for (size_t index = 0; index + 1 < hour; ++index)
    if (!((name[index] >= 'a' && name[index] <= 'z') || (name[index] >= 'A' && name[index] <= 'Z')))
      return false;
  return true;
}

std::string tLogRetention::Clear(const std::string& folder, uint32_t& files) {
  std::string kept;
  for (const tFolderEntry& entry : ListFolder(folder)) {
    if (entry.IsFolder || !IsOwnFile(entry.Name)) {
      if (kept.empty()) kept = "holds files not the plugin's own";
      continue;
    }
    if (const auto refused = DeleteFileNotInUse(folder + PathDelimiter + entry.Name))
      kept = PathText(entry.Name) + ": " + *refused;
    else
      ++files;
  }
  if (kept.empty() && !RemoveEmptyFolder(folder)) kept = "cannot be removed";
  return kept;
}

std::optional<std::string> tLogRetention::Run(const tLocalTime& today) {
  const sys_days now =
      sys_days(year_month_day(year(today.Year), month(static_cast<unsigned>(today.Month)),
                              day(static_cast<unsigned>(today.Day))));
  const sys_days oldestKept = now - days(KeepDays);
  uint32_t folders = 0;
  uint32_t files = 0;
  std::vector<std::string> newlyKept;
  std::vector<tFolderEntry> entries = ListFolder(LogsFolder);
  std::sort(entries.begin(), entries.end(),
            [](const tFolderEntry& a, const tFolderEntry& b) { return a.Name < b.Name; });
  for (const tFolderEntry& entry : entries) {
    const auto day = DayOfFolder(entry.Name);
    if (!entry.IsFolder || !day || *day >= oldestKept) continue;
    const std::string kept = Clear(LogsFolder + PathDelimiter + entry.Name, files);
    if (kept.empty())
      ++folders;
    else if (Told.insert(entry.Name).second)
      newlyKept.push_back(entry.Name + " (" + kept + ")");
  }
  if (folders == 0 && files == 0 && newlyKept.empty()) return std::nullopt;
  std::string line = Format(
      "Log retention (LogKeepDays=%d): removed %u day folder%s and %u file%s "
      "from before %s",
      KeepDays, folders, folders == 1 ? "" : "s", files, files == 1 ? "" : "s",
      DayText(oldestKept).c_str());
  if (!newlyKept.empty()) line += "; kept " + Joined(newlyKept);
  return line;
}
