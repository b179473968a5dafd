#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "dynmenu/uPlugInDynMenuTypes.h"
#include "uCommandRequests.h"
#include "uMenuDot.h"
#include "uMenuTree.h"
#include "uMenuWalk.h"

namespace {

tMenuItemDesc Item(int32_t serviceId, const std::string& name, std::vector<tConnectionRec> rows) {
  tMenuItemDesc desc;
  desc.ServiceId = serviceId;
  desc.ItemName = name;
  desc.Connections = std::move(rows);
  if (serviceId == MenuService_Voice) desc.Voice.SynthezList = name + ".wav";
  if (serviceId == MenuService_Condition) desc.Condition = {"Clock", "9-18"};
  return desc;
}

// A menu with a cycle (1 -> 2 -> 3 -> 1), an item reached twice (3), and a
// row that leads to an item which does not exist (99).
class tFakeMenu {
 public:
  std::map<int32_t, tMenuItemDesc> Items = {
      {1, Item(MenuService_Voice, "Start", {{"1", 2, "first"}, {"2", 3, ""}})},
      {2, Item(MenuService_Condition, "Say \"hi\"", {{"#", 3, ""}, {"*", 99, ""}})},
      {3, Item(3, "End", {{"0", 1, "back"}})},
  };
  std::map<int32_t, int> Asked;

  tItemDescAnswer Fetch(int32_t itemId) {
    ++Asked[itemId];
    auto buffer = BuildMenuItemRequest(itemId);
    const auto found = Items.find(itemId);
    if (found == Items.end()) {
      tByteView view(buffer.data(), static_cast<uint32_t>(buffer.size()));
      view.WriteI32(EnvelopeOutcomeOffset, 1);
      view.WriteI32(EnvelopeResultCodeOffset, 2);
      return DecodeItemDescAnswer(buffer);
    }
    std::vector<uint8_t> answer(MenuItemAnswerLength(found->second));
    std::memcpy(answer.data(), buffer.data(), ItemDescLayout::MinSize);
    tByteView view(answer.data(), static_cast<uint32_t>(answer.size()));
    WriteMenuItemAnswer(view, found->second);
    return DecodeItemDescAnswer(answer);
  }

  tMenuGraph Walk() {
    return WalkMenu(7, 1, [this](int32_t itemId) { return Fetch(itemId); });
  }
};

}  // namespace

TEST(KalvorHostWalk, AsksForEveryReachableItemOnceDespiteCycles) {
  tFakeMenu menu;
  const auto graph = menu.Walk();
  EXPECT_EQ(menu.Asked, (std::map<int32_t, int>{{1, 1}, {2, 1}, {3, 1}, {99, 1}}));
  ASSERT_EQ(graph.Items.size(), 4u);
  EXPECT_EQ(graph.Item(99).Envelope.ResultCode, 2);
  EXPECT_EQ(graph.Item(3).Item->ItemName.Bytes, "End");
  EXPECT_FALSE(graph.AllFound());
  menu.Items[99] = Item(3, "Late", {});
  EXPECT_TRUE(menu.Walk().AllFound());
}

std::string TreeText(const tMenuGraph& graph) {
  std::ostringstream out;
  WriteMenuTree(graph, out);
  return out.str();
}

TEST(KalvorHostWalk, TreeExpandsEachItemOnceAndRefersBackAfterwards) {
  tFakeMenu menu;
  EXPECT_EQ(
      TreeText(menu.Walk()),
      "menu 7, start item 1\n"
      "[1] \"Start\" voice, prompt \"Start.wav\"\n"
      "  key \"1\" (\"first\") -> [2] \"Say \"hi\"\" condition, condition \"Clock\" \"9-18\"\n"
      "    key \"#\" -> [3] \"End\" service 3\n"
      "      key \"0\" (\"back\") -> [1] \"Start\" (see above)\n"
      "    key \"*\" -> [99] not found (result code 2, buffer too small, or not found)\n"
      "  key \"2\" -> [3] \"End\" (see above)\n");
}

// A chain of questions, each with a key back to the start: the tree is as
// deep as the chain, yet no line outgrows the indentation limit.
TEST(KalvorHostWalk, TreeOfADeepChainHasLinesOfBoundedLength) {
  constexpr int32_t Depth = 2000;
  tFakeMenu menu;
  menu.Items.clear();
  for (int32_t id = 1; id <= Depth; ++id)
    menu.Items[id] = Item(MenuService_Voice, "Q", {{"1", id + 1, ""}, {"0", 1, "start"}});
  menu.Items[Depth + 1] = Item(3, "End", {});
  const std::string text = TreeText(menu.Walk());
  std::istringstream tree(text);
  size_t lines = 0;
  size_t longest = 0;
  for (std::string line; std::getline(tree, line); ++lines)
    longest = std::max(longest, line.size());
  EXPECT_EQ(lines, 1u + (Depth + 1) + Depth) << "an item and a way back per question";
  EXPECT_LE(longest, TreeIndentLimit * 2 + 80) << "lines grow with the depth";
  EXPECT_NE(text.find("\n" + std::string(TreeIndentLimit * 2, ' ') +
                      "(depth 2000) key \"1\" -> [2001] \"End\" service 3\n"),
            std::string::npos)
      << "the depth is said where the indentation stops";
}

TEST(KalvorHostWalk, DotHasOneNodePerItemAndOneEdgePerRow) {
  tFakeMenu menu;
  const auto dot = MenuDot(menu.Walk());
  EXPECT_EQ(dot.rfind("digraph \"menu 7\" {\n", 0), 0u) << dot;
  EXPECT_NE(dot.find("\"item1\" [label=\"[1] Start\\nvoice\", penwidth=2];"), std::string::npos)
      << dot;
  EXPECT_NE(dot.find("\"item2\" [label=\"[2] Say \\\"hi\\\"\\ncondition\"];"), std::string::npos)
      << dot;
  EXPECT_NE(dot.find("\"item99\" [label=\"[99]\\nnot found (result code 2, buffer too small, or "
                     "not found)\", style=dashed];"),
            std::string::npos)
      << dot;
  EXPECT_NE(dot.find("\"item3\" -> \"item1\" [label=\"0\"];"), std::string::npos) << dot;
  size_t edges = 0;
  for (size_t at = dot.find(" -> "); at != std::string::npos; at = dot.find(" -> ", at + 1))
    ++edges;
  EXPECT_EQ(edges, 5u);
}

TEST(KalvorHostWalk, DotAsksForALayoutThatFinishesOnLargeMenus) {
  tFakeMenu menu;
  EXPECT_EQ(MenuDot(menu.Walk()).find("layout="), std::string::npos) << "small menus keep dot";
  std::vector<tConnectionRec> rows;
  for (int32_t id = 100; id <= 100 + static_cast<int32_t>(LayeredLayoutLimit); ++id) {
    rows.push_back({std::to_string(id), id, ""});
    menu.Items[id] = Item(MenuService_Voice, "Leaf", {{"0", 1, ""}});
  }
  menu.Items[1] = Item(MenuService_Voice, "Start", rows);
  const auto large = MenuDot(menu.Walk());
  EXPECT_NE(large.find("  graph [layout=sfdp, overlap=prism];\n"), std::string::npos) << large;
}
