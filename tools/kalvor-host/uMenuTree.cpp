#include "uMenuTree.h"

#include <set>

#include "uAnswerText.h"

namespace {

struct tPending {
  int32_t ItemId;
  size_t Depth;
  std::string Lead;  // the key that leads here, empty for the start item
};

std::string ItemSummary(const tItemDescAnswer& answer) {
  if (!answer.Item) return FailureSummary(answer);
  const auto& item = *answer.Item;
  std::string text = QuotedText(item.ItemName.Bytes) + " " + KindName(item.ServiceId);
  if (item.Voice) text += ", prompt " + QuotedText(item.Voice->SynthezList.Bytes);
  if (item.Condition)
    text += ", condition " + QuotedText(item.Condition->Plugin.Bytes) + " " +
            QuotedText(item.Condition->Data.Bytes);
  return text;
}

std::string LeadText(const tConnectionRow& row) {
  std::string lead = "key " + QuotedText(row.Key.Bytes);
  if (row.WayDesc.Length != 0) lead += " (" + QuotedText(row.WayDesc.Bytes) + ")";
  return lead + " -> ";
}

}  // namespace

std::string MenuTreeText(const tMenuGraph& graph) {
  std::string text = "menu " + std::to_string(graph.MenuId) + ", start item " +
                     std::to_string(graph.StartItemId) + "\n";
  std::set<int32_t> shown;
  std::vector<tPending> stack = {{graph.StartItemId, 0, ""}};
  while (!stack.empty()) {
    const tPending pending = stack.back();
    stack.pop_back();
    const auto& answer = graph.Item(pending.ItemId);
    const std::string head = std::string(pending.Depth * 2, ' ') + pending.Lead + "[" +
                             std::to_string(pending.ItemId) + "] ";
    if (!shown.insert(pending.ItemId).second) {
      const std::string name = answer.Item ? QuotedText(answer.Item->ItemName.Bytes) + " " : "";
      text += head + name + "(see above)\n";
      continue;
    }
    text += head + ItemSummary(answer) + "\n";
    if (!answer.Item) continue;
    const auto& rows = answer.Item->Rows;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
      stack.push_back({row->ItemId, pending.Depth + 1, LeadText(*row)});
  }
  return text;
}
