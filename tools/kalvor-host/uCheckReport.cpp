#include "uCheckReport.h"

#include "uJson.h"

namespace {

const char* SeverityName(tSeverity severity) {
  return severity == tSeverity::Error ? "error" : "warning";
}

std::string Counted(size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string IdList(const std::vector<int32_t>& ids) {
  std::string list;
  for (const int32_t id : ids) list += (list.empty() ? "" : ", ") + std::to_string(id);
  return list;
}

}  // namespace

std::string CheckText(const tMenuCheck& check) {
  std::string text;
  for (const auto& finding : check.Findings)
    text += std::string(SeverityName(finding.Severity)) + ": " + finding.Message + " [" +
            finding.Code + "]\n";
  const bool one = check.UncheckedBehind.size() == 1;
  if (!check.UncheckedBehind.empty())
    text += std::string("not checked: what lies behind item") + (one ? " " : "s ") +
            IdList(check.UncheckedBehind) + (one ? ", whose answer" : ", whose answers") +
            " failed: the commands do not show " + (one ? "its" : "their") +
            " connection rows (--tables reads them)\n";
  return text + "menu " + std::to_string(check.MenuId) + ": " +
         Counted(check.ItemsChecked, "item") + " checked, " +
         Counted(check.Count(tSeverity::Error), "error") + ", " +
         Counted(check.Count(tSeverity::Warning), "warning") +
         (check.Ends.empty() ? "" : "; ends of the call: " + IdList(check.Ends)) + "\n";
}

std::string CheckJson(const tMenuCheck& check) {
  std::string findings;
  for (const auto& finding : check.Findings) {
    findings += findings.empty() ? "\n" : ",\n";
    findings += tJsonObject()
                    .AddText("severity", SeverityName(finding.Severity))
                    .AddText("code", finding.Code)
                    .Add("item_id", finding.ItemId)
                    .AddText("message", finding.Message)
                    .Text();
  }
  tJsonObject json;
  json.Add("menu_id", check.MenuId);
  json.AddRaw("start_item_id", check.StartItemId ? std::to_string(*check.StartItemId) : "null");
  json.Add("items_checked", static_cast<int64_t>(check.ItemsChecked))
      .Add("errors", static_cast<int64_t>(check.Count(tSeverity::Error)))
      .Add("warnings", static_cast<int64_t>(check.Count(tSeverity::Warning)))
      .AddRaw("unchecked_behind", "[" + IdList(check.UncheckedBehind) + "]")
      .AddRaw("ends", "[" + IdList(check.Ends) + "]")
      .AddRaw("findings", "[" + findings + (findings.empty() ? "]" : "\n]"));
  return json.Text();
}
