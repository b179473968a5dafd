#include <gtest/gtest.h>

#include <set>

#include "uItemFindings.h"
#include "uTableFindings.h"

namespace {

tNumberRow Row(std::initializer_list<std::optional<int32_t>> cells) {
  return tNumberRow(cells);
}

std::set<std::pair<std::string, int32_t>> Codes(const std::vector<tFinding>& findings) {
  std::set<std::pair<std::string, int32_t>> codes;
  for (const auto& finding : findings) codes.insert({finding.Code, finding.ItemId});
  return codes;
}

}  // namespace

TEST(KalvorHostCheck, PlaceholdersAreTheNamesBetweenBracesEachOnce) {
  EXPECT_EQ(Placeholders("Hi {NAME}, {BALANCE} {NAME} {unclosed"),
            (std::vector<std::string>{"NAME", "BALANCE"}));
  EXPECT_EQ(Placeholders("{{INNER}} } {}"), (std::vector<std::string>{"INNER", ""}));
  EXPECT_TRUE(Placeholders("no braces").empty());
}

// Menu 1 starts at 1; 1 -> 2 -> 3 -> 1 is a cycle, 2 failed so 4 behind it was
// not asked for; menu 2 starts at 5, which leads to 6; 7 leads to 8 and back,
// but nothing leads to either. Item 2 and item 6 have second rows.
TEST(KalvorHostCheck, TablesNameWhatTheWalkCouldNotSee) {
  tMenuTables tables;
  tables.Menus = {Row({1, 0, 1}), Row({1, 1, 9}), Row({2, 0, 5})};
  tables.Items = {Row({1, 0, 10}),           Row({2, 0, 20}),
                  Row({2, 1, std::nullopt}), Row({3, 0, 30}),
                  Row({4, 0, std::nullopt}), Row({5, 0, 50}),
                  Row({6, 0, std::nullopt}), Row({6, 1, std::nullopt}),
                  Row({7, 0, 70}),           Row({8, 0, 80})};
  tables.VoiceParams = {Row({2, 0}), Row({3, 0}), Row({3, 4})};
  tables.ConnectionRows = {Row({10, 2}), Row({20, 3}), Row({20, 4}), Row({30, 1}),
                           Row({50, 6}), Row({70, 8}), Row({80, 7}), Row({10, std::nullopt})};
  tMenuGraph graph;
  graph.MenuId = 1;
  graph.StartItemId = 1;
  graph.IndexOf = {{1, 0}, {2, 1}};
  tMenuCheck check;
  check.UncheckedBehind = {2};

  EXPECT_EQ(Codes(TableFindings(tables, graph, check)), (std::set<std::pair<std::string, int32_t>>{
                                                            {"unchecked-item", 3},
                                                            {"unchecked-item", 4},
                                                            {"second-row", 1},
                                                            {"second-row", 2},
                                                            {"second-row", 3},
                                                            {"unreachable-item", 7},
                                                            {"unreachable-item", 8},
                                                        }));
}
