#include "uMenuDot.h"

#include "uAnswerText.h"
#include "uCp1251.h"

namespace {

std::string NodeName(int32_t itemId) {
  return "\"item" + std::to_string(itemId) + "\"";
}

std::string NodeLine(const tItemDescAnswer& answer, bool isStart) {
  const std::string id = std::to_string(answer.MenuItemId);
  std::string label;
  std::string style;
  if (answer.Item) {
    label = "[" + id + "] " + Cp1251ToUtf8(answer.Item->ItemName.Bytes) + "\n" +
            KindName(answer.Item->ServiceId);
  } else {
    label = "[" + id + "]\n" + FailureSummary(answer);
    style = ", style=dashed";
  }
  if (isStart) style += ", penwidth=2";
  return "  " + NodeName(answer.MenuItemId) + " [label=\"" + DotEscape(label) + "\"" + style +
         "];\n";
}

std::string EdgeLines(const tItemDescAnswer& answer) {
  std::string lines;
  if (!answer.Item) return lines;
  for (const auto& row : answer.Item->Rows)
    lines += "  " + NodeName(answer.MenuItemId) + " -> " + NodeName(row.ItemId) + " [label=\"" +
             DotEscape(Cp1251ToUtf8(row.Key.Bytes)) + "\"];\n";
  return lines;
}

}  // namespace

std::string DotEscape(const std::string& utf8) {
  std::string out;
  for (const char c : utf8) {
    if (c == '"' || c == '\\')
      out += std::string("\\") + c;
    else if (c == '\n')
      out += "\\n";
    else if (c != '\r')
      out += c;
  }
  return out;
}

std::string MenuDot(const tMenuGraph& graph) {
  std::string dot = "digraph \"menu " + std::to_string(graph.MenuId) + "\" {\n";
  // dot's layered layout takes minutes past a few dozen items with labelled back
  // edges (hours at 500); sfdp draws 500 items in under a second.
  if (graph.Items.size() > LayeredLayoutLimit) dot += "  graph [layout=sfdp, overlap=prism];\n";
  dot += "  node [shape=box];\n";
  for (const auto& item : graph.Items) dot += NodeLine(item, item.MenuItemId == graph.StartItemId);
  for (const auto& item : graph.Items) dot += EdgeLines(item);
  return dot + "}\n";
}
