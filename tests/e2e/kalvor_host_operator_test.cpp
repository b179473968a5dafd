// What an operator does with kalvor-host before and while a menu goes live:
// check a menu, play a caller through it, read why a command failed, and
// type keys in the terminal's UTF-8. The built tool against a test database
// on the real server.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "KalvorHostDemoTest.h"
#include "support/KalvorHostRun.h"

using nlohmann::json;

namespace {

constexpr int ExitCommandFailed = 1;
constexpr int ExitUsage = 2;

// Menu 3 starts at item 70, whose connection 700 leads to one fault per key;
// menu 4 has no start item; menu 5's start item does not exist.
const char* BrokenMenus =
    "INSERT INTO MENUS (MENU_ID, MENU_NAME, ITEM_START_ID) VALUES (3, 'Broken', 70);\n"
    "INSERT INTO MENUS (MENU_ID, MENU_NAME, ITEM_START_ID) VALUES (4, 'No start', NULL);\n"
    "INSERT INTO MENUS (MENU_ID, MENU_NAME, ITEM_START_ID) VALUES (5, 'Lost start', 79);\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (700, 'Faults');\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (750, 'Empty');\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (70, 1, 'Faulty start', 700);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (70, 'Choose');\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (72, 1, 'Mute', NULL);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (73, 2, 'Blind', NULL);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (74, 7, 'Odd', NULL);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (75, 1, 'Hollow', 750);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (75, 'Nothing');\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (76, 1, 'Twin', NULL);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (76, 'Bye');\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (700, 1, '1', 71);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (700, 2, '2', 72);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (700, 3, '3', 73);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (700, 4, '4', 74);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (700, 5, '5', 75);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (700, 6, '1', 76);\n";

// "Ё" in UTF-8 and in Windows-1251; "中" has no Windows-1251 form.
const std::string YoUtf8 = "\xd0\x81";
const std::string YoCp1251 = "\xa8";
const std::string HanUtf8 = "\xe4\xb8\xad";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class KalvorHostOperatorTest : public KalvorHostDemoTest {
 protected:
  static void SetUpTestSuite() { StartDemo(BrokenMenus); }

  static std::string Actions(int session) {
    return Db->QueryValue(
        "SELECT CAST(LIST(ITEM_ID || ':' || ITEM_KEY, ',') AS VARCHAR(200))"
        " FROM (SELECT ITEM_ID, ITEM_KEY FROM MENU_ACTIONS WHERE SESSION_ID = " +
        std::to_string(session) + " ORDER BY ACTION_ID);");
  }
};

TEST_F(KalvorHostOperatorTest,
       CheckFindsEveryKindOfFaultAndTellsMissingItemsFromMissingParameters) {
  json broken = HostJson({"check", "3"}, ExitCommandFailed);
  std::multiset<std::pair<std::string, int>> found;
  for (auto& finding : broken["findings"])
    found.insert({finding["code"].get<std::string>(), finding["item_id"].get<int>()});
  EXPECT_EQ(found, (std::multiset<std::pair<std::string, int>>{
                       {"missing-item", 71},
                       {"missing-voice-params", 72},
                       {"missing-condition-params", 73},
                       {"unknown-kind", 74},
                       {"empty-connection", 75},
                       {"duplicate-key", 70},
                       {"dead-end", 76},
                   }))
      << broken.dump(1);
  EXPECT_EQ(broken["errors"], 6);
  EXPECT_EQ(broken["warnings"], 1);
  EXPECT_EQ(broken["start_item_id"], 70);

  const auto text = Host({"check", "3"});
  EXPECT_EQ(text.ExitStatus, ExitCommandFailed);
  EXPECT_TRUE(Contains(text.Output,
                       "error: item 70 key \"1\" leads to item 71, which does not exist "
                       "[missing-item]\n"))
      << text.Output;
  EXPECT_TRUE(Contains(text.Output, "item 72 is a voice item without voice parameters"))
      << text.Output;
  EXPECT_TRUE(Contains(text.Output, "has key \"1\" twice (to items 71 and 76)")) << text.Output;
  EXPECT_TRUE(Contains(text.Output, "menu 3: 7 items checked, 6 errors, 1 warning\n"))
      << text.Output;
  // Each not-found answer comes with the plugin's own reason on stderr.
  EXPECT_TRUE(Contains(text.Errors,
                       "GetVoiceMenuItemParams(MENU_GET_VOICE_ITEM_PARAMS) "
                       "IN[menu_item_id=72] OUT[]- NOT FOUND"))
      << text.Errors;

  json noStart = HostJson({"check", "4"}, ExitCommandFailed);
  ASSERT_EQ(noStart["findings"].size(), 1u) << noStart.dump();
  EXPECT_EQ(noStart["findings"][0]["code"], "no-start-item");
  EXPECT_TRUE(noStart["start_item_id"].is_null());
  json lostStart = HostJson({"check", "5"}, ExitCommandFailed);
  ASSERT_EQ(lostStart["findings"].size(), 1u) << lostStart.dump();
  EXPECT_EQ(lostStart["findings"][0]["code"], "missing-start-item");
  EXPECT_EQ(lostStart["findings"][0]["item_id"], 79);
}

TEST_F(KalvorHostOperatorTest, CheckPassesTheDemoWithItsOneDeadEndUnlessStrict) {
  json demo = HostJson({"check", "1"}, 0);
  EXPECT_EQ(demo["items_checked"], 5);
  EXPECT_EQ(demo["errors"], 0);
  ASSERT_EQ(demo["findings"].size(), 1u) << demo.dump();
  EXPECT_EQ(demo["findings"][0]["code"], "dead-end");
  EXPECT_EQ(demo["findings"][0]["item_id"], 40);
  EXPECT_EQ(Host({"check", "1", "--strict"}).ExitStatus, ExitCommandFailed);

  // walk tells a missing item from missing parameters as well.
  const auto tree = Host({"walk", "3"});
  EXPECT_TRUE(Contains(tree.Output, "[71] does not exist (result code 2)")) << tree.Output;
  EXPECT_TRUE(Contains(tree.Output, "[73] is a condition item without condition parameters"))
      << tree.Output;
}

TEST_F(KalvorHostOperatorTest, SimulateFollowsKeysAndConditionsAndRecordsEachKeyFollowed) {
  json call = HostJson(
      {"simulate", "1", "--keys", "1,*,2", "--cond", "WORK_TIME=false", "--session", "5150"}, 0);
  std::vector<std::pair<std::string, int>> path;
  for (auto& step : call["steps"])
    path.emplace_back(step["via"].get<std::string>(), step["item"]["item_id"].get<int>());
  EXPECT_EQ(path, (std::vector<std::pair<std::string, int>>{
                      {"start", 10}, {"key", 20}, {"key", 10}, {"key", 30}, {"condition", 20}}));
  EXPECT_EQ(call["steps"][4]["key"], "FALSE");
  EXPECT_EQ(call["steps"][1]["item"]["macro_name"], "BALANCE");
  EXPECT_EQ(call["completed"], true);
  EXPECT_EQ(Actions(5150), "10:1,20:*,10:2");

  const auto stopped = Host({"simulate", "1", "--keys", "1,7,9", "--session", "5151"});
  EXPECT_EQ(stopped.ExitStatus, ExitCommandFailed);
  EXPECT_TRUE(Contains(stopped.Output,
                       "stopped: key \"7\" matches no row of item 20; keys that match: \"*\", "
                       "\"9\"\n"))
      << stopped.Output;
  EXPECT_TRUE(Contains(stopped.Output, "keys not pressed: \"7\", \"9\"")) << stopped.Output;
  EXPECT_EQ(Actions(5151), "10:1");

  json dry = HostJson({"simulate", "1", "--keys", "2", "--dry-run", "--session", "5152", "--cond",
                       "WORK_TIME=TRUE"},
                      0);
  EXPECT_EQ(dry["steps"].back()["item"]["item_id"], 40);
  EXPECT_EQ(Actions(5152), "<null>");

  json unanswered = HostJson({"simulate", "1", "--keys", "2", "--dry-run"}, ExitCommandFailed);
  EXPECT_TRUE(Contains(unanswered["stopped"].get<std::string>(), "give --cond WORK_TIME=TRUE"))
      << unanswered.dump();
}

TEST_F(KalvorHostOperatorTest, ActionKeysAreTypedInUtf8OrGivenAsRawBytes) {
  ASSERT_EQ(Host({"action", "5160", "10", YoUtf8}).ExitStatus, 0);
  ASSERT_EQ(Host({"action", "5160", "10", "--raw-key", "b8"}).ExitStatus, 0);
  EXPECT_EQ(Db->QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 5160 AND"
                           " ITEM_KEY = '" +
                           YoCp1251 + "';"),
            "1");
  EXPECT_EQ(Db->QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 5160 AND"
                           " ITEM_KEY = '\xb8';"),
            "1");

  const auto refused = Host({"action", "5160", "10", HanUtf8});
  EXPECT_EQ(refused.ExitStatus, ExitUsage);
  EXPECT_TRUE(Contains(refused.Errors, "(U+4E2D) has no Windows-1251 form")) << refused.Errors;
  EXPECT_EQ(Db->QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 5160;"), "2");
}

TEST_F(KalvorHostOperatorTest, AFailedCommandShowsItsLogLinesOnStderrAndDotKeepsStdoutClean) {
  const auto missing = Host({"item", "999"});
  EXPECT_EQ(missing.ExitStatus, ExitCommandFailed);
  EXPECT_TRUE(Contains(missing.Errors, "kalvor-host: the plugin's log for command 101 (/"))
      << missing.Errors;
  EXPECT_TRUE(Contains(missing.Errors, "_Kalvor.so.log):\n")) << missing.Errors;
  EXPECT_TRUE(Contains(missing.Errors, "--New Operation was complete started-->"))
      << missing.Errors;
  EXPECT_TRUE(Contains(missing.Errors, "IN[menu_item_id=999] OUT[]- NOT FOUND")) << missing.Errors;
  EXPECT_TRUE(Contains(missing.Errors, "<--Operation was complete [")) << missing.Errors;
  EXPECT_TRUE(Contains(missing.Output, "the item does not exist")) << missing.Output;

  const auto dot = Host({"walk", "4", "--dot"});
  EXPECT_EQ(dot.ExitStatus, ExitCommandFailed);
  EXPECT_EQ(dot.Output, "");
  EXPECT_TRUE(Contains(dot.Errors, "FAIL [Menu not found]")) << dot.Errors;
  EXPECT_TRUE(Contains(dot.Errors, "menu_start_itemid")) << dot.Errors;
}

}  // namespace
