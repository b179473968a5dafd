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

// Two blanks a level, up to the limit; past it "(depth N) " after the last blanks.
std::string Indent(size_t depth) {
  if (depth <= TreeIndentLimit) return std::string(depth * 2, ' ');
  return std::string(TreeIndentLimit * 2, ' ') + "(depth " + std::to_string(depth) + ") ";
}

std::string LeadText(const tConnectionRow& row) {
  std::string lead = "key " + QuotedKey(row.Key.Bytes);
  if (row.WayDesc.Length != 0) lead += " (" + QuotedText(row.WayDesc.Bytes) + ")";
  return lead + " -> ";
}

}  // namespace

// Each line goes out in one piece: the console stream hands on every output
// operation as it comes.
void WriteMenuTree(const tMenuGraph& graph, std::ostream& out) {
  out << "menu " + std::to_string(graph.MenuId) + ", start item " +
             std::to_string(graph.StartItemId) + "\n";
  std::set<int32_t> shown;
  std::vector<tPending> stack = {{graph.StartItemId, 0, ""}};
  while (!stack.empty()) {
    const tPending pending = stack.back();
    stack.pop_back();
    const auto& answer = graph.Item(pending.ItemId);
    const std::string head =
        Indent(pending.Depth) + pending.Lead + "[" + std::to_string(pending.ItemId) + "] ";
    if (!shown.insert(pending.ItemId).second) {
      const std::string name = answer.Item ? QuotedText(answer.Item->ItemName.Bytes) + " " : "";
      out << head + name + "(see above)\n";
      continue;
    }
    out << head + ItemSummary(answer) + "\n";
    if (!answer.Item) continue;
    const auto& rows = answer.Item->Rows;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
      stack.push_back({row->ItemId, pending.Depth + 1, LeadText(*row)});
  }
}
