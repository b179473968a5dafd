// What an operator does with kalvor-host before and while a menu goes live:
// check a menu, play a caller through it, read why a command failed, and
// type keys in the terminal's UTF-8. The built tool against a test database
// on the real server.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "KalvorHostDemoTest.h"
#include "support/CommandBuffers.h"
#include "support/KalvorHostRun.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/ShellCommand.h"
#include "support/StatusSocketClient.h"
#include "support/TempFolder.h"
#include "tPluginHost.h"

using nlohmann::json;

namespace {

constexpr int ExitCommandFailed = 1;
constexpr int ExitUsage = 2;
constexpr int ExitNotAsked = 3;
constexpr int HealthWarning = 1;
constexpr int HealthCritical = 2;
constexpr int HealthUnknown = 3;

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

// Menu 6, a clinic's menu with the mistakes operators make: a misspelt
// variable, keys with a blank, NULL or lower-case letters, a time-out of -5 and
// a repeat count of 0, a connection id that names no connection, an item
// without its voice parameters and one behind it, a second item row (SEQ 1),
// and item 680 that nothing leads to.
const char* ClinicMenu =
    "INSERT INTO MENUS (MENU_ID, MENU_NAME, ITEM_START_ID) VALUES (6, 'Clinic', 600);\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (6000, 'Main');\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (6100, 'Hours');\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (6400, 'Booked');\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (6500, 'Results');\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (600, 1, 'Welcome', 6000);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (610, 2, 'Open now?', 6100);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (620, 1, 'Doctor', NULL);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (630, 1, 'Records', 6999);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (640, 1, 'Appointments', 6400);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, SEQ, MENU_SERVICE_ID, MENU_ITEM_NAME,"
    " MENU_CONNECTION_ID) VALUES (640, 1, 1, 'Appointments (new)', 6000);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (650, 1, 'Lab results', 6500);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (660, 1, 'Goodbye', NULL);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (670, 1, 'Lab call back', NULL);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (680, 1, 'Flu season', NULL);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST, ITEM_REPEAT_COUNT,"
    " ITEM_TIMEOUT) VALUES (600, 'Hello {NAME}, you owe {BALANSE}. {BALANCE} {NAME}', 2, 5000);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST, ITEM_REPEAT_COUNT,"
    " ITEM_TIMEOUT) VALUES (620, 'Connecting', 0, -5);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (630, 'Records');\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (640, 'Booked');\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (660, 'Bye');\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (670, 'Later');\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (680, 'Flu');\n"
    "INSERT INTO MENU_COND_PARAMS (MENU_ITEM_ID, CONDITION_PROCESSOR_NAME) VALUES (610, 'OPEN');\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6000, 1, '1', 610);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6000, 2, '2 ', 620);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6000, 3, NULL, 630);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6000, 4, '3', 640);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6000, 5, '4', 650);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6100, 1, 'true', 620);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6100, 2, 'FALSE', 660);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6400, 1, '0', 660);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (6500, 1, '1', 670);\n";

// "Баланс" in UTF-8: what a UTF-8 file loaded without isql's -ch UTF8 stores.
const std::string BalanceUtf8 = "\xd0\x91\xd0\xb0\xd0\xbb\xd0\xb0\xd0\xbd\xd1\x81";

// Menu 8, a bank's menu after an operator's first month: a name stored as
// UTF-8, a Cyrillic "О" (Windows-1251 CE) typed for the zero, a Latin "a", a
// time-out typed in seconds, and two items that end the call on purpose.
const std::string BankMenu =
    "INSERT INTO MENUS (MENU_ID, MENU_NAME, ITEM_START_ID) VALUES (8, 'Bank', 800);\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (8000, 'Main');\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (8100, 'Back');\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (800, 1, 'Welcome', 8000);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (810, 1, '" +
    BalanceUtf8 +
    "', 8100);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (822, 1, 'Goodbye', NULL);\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (843, 1, 'Operator', NULL);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST, ITEM_TIMEOUT)"
    " VALUES (800, 'Press 1 or 0', 30);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST, ITEM_TIMEOUT)"
    " VALUES (810, 'Balance', 5000);\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (822, 'Bye');\n"
    "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (843, 'Hold on');\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (8000, 1, '1', 810);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (8000, 2, '\xce', 843);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (8000, 3, 'a', 822);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (8000, 4, '#', 822);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID) VALUES (8100, 1, '*', 800);\n";

// "Ё" in UTF-8 and in Windows-1251; "中" has no Windows-1251 form.
const std::string YoUtf8 = "\xd0\x81";
const std::string YoCp1251 = "\xa8";
const std::string HanUtf8 = "\xe4\xb8\xad";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The code and item of each finding of check --json.
std::multiset<std::pair<std::string, int>> FindingCodes(const json& check) {
  std::multiset<std::pair<std::string, int>> found;
  for (const auto& finding : check["findings"])
    found.insert({finding["code"].get<std::string>(), finding["item_id"].get<int>()});
  return found;
}

class KalvorHostOperatorTest : public KalvorHostDemoTest {
 protected:
  static void SetUpTestSuite() { StartDemo(std::string(BrokenMenus) + ClinicMenu + BankMenu); }

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
  EXPECT_EQ(FindingCodes(broken), (std::multiset<std::pair<std::string, int>>{
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

TEST_F(KalvorHostOperatorTest, CheckFindsTheMistakesOfAClinicMenuInItsAnswersAndTables) {
  json clinic = HostJson({"check", "6", "--vars", "NAME,BALANCE", "--tables"}, ExitCommandFailed);
  EXPECT_EQ(FindingCodes(clinic), (std::multiset<std::pair<std::string, int>>{
                                      {"unknown-variable", 600},
                                      {"blank-padded-key", 600},
                                      {"empty-key", 600},
                                      {"bad-condition-key", 610},
                                      {"condition-row-missing", 610},
                                      {"bad-timeout", 620},
                                      {"bad-repeat-count", 620},
                                      {"dead-end", 620},
                                      {"missing-connection", 630},
                                      {"missing-voice-params", 650},
                                      {"dead-end", 660},
                                      {"unchecked-item", 670},
                                      {"second-row", 640},
                                      {"unreachable-item", 680},
                                  }))
      << clinic.dump(1);
  EXPECT_EQ(clinic["errors"], 8);
  EXPECT_EQ(clinic["unchecked_behind"], json::array({650}));

  const auto text = Host({"check", "6", "--vars", "NAME,BALANCE", "--tables"});
  for (const char* line : {
           "error: voice item 600 \"Welcome\" prompts with \"{BALANSE}\", which is not among the "
           "variables the host fills (\"NAME\", \"BALANCE\") [unknown-variable]\n",
           "key \"2 \" to item 620: blanks around the key",
           "connection 6000 has key \"\" to item 630: the key is empty or NULL",
           "condition item 610 \"Open now?\": connection 6100 has key \"true\" to item 620: a "
           "condition follows only the keys TRUE and FALSE",
           "voice item 620 \"Doctor\" has time-out -5: ",
           "voice item 620 \"Doctor\" has repeat count 0: ",
           "voice item 630 \"Records\" has connection 6999, which does not exist",
           "not checked: what lies behind item 650, whose answer failed: ",
           "item 670 was not checked: it lies behind item 650, whose answer failed",
           "item 640 has 2 rows in MENU_ITEMS (SEQ 0, 1): the plugin reads the first alone",
           "item 680 is reached from no menu",
           "menu 6: 7 items checked, 8 errors, 6 warnings\n",
       })
    EXPECT_TRUE(Contains(text.Output, line)) << line << "\n" << text.Output;
  EXPECT_EQ(text.ExitStatus, ExitCommandFailed);

  // Without --vars the placeholders are not judged; without --tables no table is read.
  json plain = HostJson({"check", "6"}, ExitCommandFailed);
  EXPECT_EQ(plain["errors"], 7);
  EXPECT_EQ(plain["warnings"], 3);
}

TEST_F(KalvorHostOperatorTest, CheckPassesTheDemoWithItsOneDeadEndUnlessStrict) {
  json demo = HostJson({"check", "1"}, 0);
  EXPECT_EQ(demo["items_checked"], 5);
  EXPECT_EQ(demo["errors"], 0);
  ASSERT_EQ(demo["findings"].size(), 1u) << demo.dump();
  EXPECT_EQ(demo["findings"][0]["code"], "dead-end");
  EXPECT_EQ(demo["findings"][0]["item_id"], 40);
  EXPECT_EQ(Host({"check", "1", "--strict"}).ExitStatus, ExitCommandFailed);

  // Named as the end of a call, the dead end passes --strict; a named item
  // that goes on, or that the menu never reaches, is warned of.
  const auto ended = Host({"check", "1", "--strict", "--ends", "40"});
  EXPECT_EQ(ended.ExitStatus, 0) << ended.Output << ended.Errors;
  EXPECT_EQ(ended.Output, "menu 1: 5 items checked, 0 errors, 0 warnings; ends of the call: 40\n");
  json stale = HostJson({"check", "1", "--ends", "40,20", "--ends", "99"}, 0);
  EXPECT_EQ(FindingCodes(stale), (std::multiset<std::pair<std::string, int>>{
                                     {"not-an-end", 20}, {"end-not-reached", 99}}))
      << stale.dump(1);
  EXPECT_EQ(stale["ends"], json::array({40, 20, 99}));
  EXPECT_EQ(Host({"walk", "1", "--ends", "40"}).ExitStatus, ExitUsage);

  // walk tells a missing item from missing parameters as well.
  const auto tree = Host({"walk", "3"});
  EXPECT_TRUE(Contains(tree.Output, "[71] does not exist (result code 2)")) << tree.Output;
  EXPECT_TRUE(Contains(tree.Output, "[73] is a condition item without condition parameters"))
      << tree.Output;
}

TEST_F(KalvorHostOperatorTest, CheckCatchesAFirstMonthsMistakesAndShowsKeyBytes) {
  json bank = HostJson({"check", "8"}, ExitCommandFailed);
  EXPECT_EQ(FindingCodes(bank), (std::multiset<std::pair<std::string, int>>{
                                    {"not-a-phone-key", 800},
                                    {"not-a-phone-key", 800},
                                    {"short-timeout", 800},
                                    {"utf8-as-cp1251", 810},
                                    {"dead-end", 822},
                                    {"dead-end", 843},
                                }))
      << bank.dump(1);

  const auto text = Host({"check", "8", "--strict", "--ends", "822,843"});
  EXPECT_EQ(text.ExitStatus, ExitCommandFailed);
  for (const std::string& line : std::vector<std::string>{
           "warning: voice item 800 \"Welcome\": connection 8000 has key \"\xd0\x9e\" (bytes CE) "
           "to "
           "item 843: a phone sends only 0-9, *, # and A-D, so no caller can press it "
           "[not-a-phone-key]\n",
           "connection 8000 has key \"a\" to item 822: a phone sends only",
           "warning: voice item 800 \"Welcome\" has time-out 30 ms: typed in seconds? ITEM_TIMEOUT "
           "is in milliseconds (30000 waits 30 seconds) [short-timeout]\n",
           "error: item 810 MENU_ITEM_NAME \"",
           "\" is UTF-8 stored as Windows-1251 (it reads \"" + BalanceUtf8 +
               "\"): load a UTF-8 file with isql-fb -ch UTF8 [utf8-as-cp1251]\n",
           "menu 8: 4 items checked, 1 error, 3 warnings; ends of the call: 822, 843\n",
       })
    EXPECT_TRUE(Contains(text.Output, line)) << line << "\n" << text.Output;
  EXPECT_FALSE(Contains(text.Output, "[dead-end]")) << text.Output;

  // The walk shows the key's byte as well, where the "О" looks like a zero.
  const auto walk = Host({"walk", "8"});
  EXPECT_TRUE(Contains(walk.Output, "  key \"\xd0\x9e\" (bytes CE) -> [843] ")) << walk.Output;
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
  EXPECT_TRUE(Contains(dot.Errors,
                       "\nmenu 4 has no start item (the menu does not exist, or its "
                       "start item is empty)\n"))
      << dot.Errors;

  const auto walk = Host({"walk", "404"});
  EXPECT_EQ(walk.ExitStatus, ExitCommandFailed);
  EXPECT_EQ(walk.Output,
            "menu 404 has no start item (the menu does not exist, or its start "
            "item is empty)\n");

  const auto typo = Host({"simulate", "1", "--keys", "2", "--cond", "WORK_TIMES=TRUE"});
  EXPECT_EQ(typo.ExitStatus, ExitUsage);
  EXPECT_TRUE(Contains(typo.Errors,
                       "--cond \"WORK_TIMES\": no condition item of menu 1 asks for "
                       "it (they ask for \"WORK_TIME\")"))
      << typo.Errors;
}

TEST_F(KalvorHostOperatorTest, IniOptionServesAnotherDatabaseWithoutTouchingThePluginsFolder) {
  // A plugin whose own ini names no reachable database: --ini alone makes it work.
  PluginCopy plugin;
  plugin.WriteIni("[Main]\nDBName = 127.0.0.1:/nowhere/missing.fdb\nDBUser = x\n");
  TempFolder staging("kalvor-staging");
  WriteWholeFile(staging / "staging.ini", ReadWholeFile(Plugin->IniPath()));
  const auto staged = RunKalvorHost(
      {"--plugin", plugin.LibraryPath(), "--ini", staging / "staging.ini", "walk", "1"});
  EXPECT_EQ(staged.ExitStatus, 0) << staged.Errors;
  EXPECT_TRUE(Contains(staged.Output, "menu 1, start item 10\n")) << staged.Output;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(
                              std::filesystem::path(plugin.LibraryPath()).parent_path()),
                          std::filesystem::directory_iterator()),
            2)
      << "the plugin's folder holds the plugin and its own ini, nothing else";
  EXPECT_TRUE(Contains(ReadWholeFile(plugin.IniPath()), "/nowhere/missing.fdb"));

  const auto missing =
      RunKalvorHost({"--plugin", plugin.LibraryPath(), "--ini", staging / "none.ini", "walk", "1"});
  EXPECT_NE(missing.ExitStatus, 0);
  EXPECT_TRUE(Contains(missing.Errors, "--ini: cannot read ")) << missing.Errors;
}

namespace {
using namespace std::chrono_literals;

// The host with the channel open: eight host threads send commands of every
// kind while kalvor-host asks, and clients misbehave beside them.
class StatusChannelTest : public KalvorHostDemoTest {
 protected:
  static void SetUpTestSuite() { StartDemo(""); }

  void OpenHost(const std::string& dbName, const std::string& extra = "") {
    Copy.WriteIni("[Main]\nDBName=" + dbName + "\nDBUser=" + TestDatabase::User() + "\nDBPWD=" +
                  TestDatabase::Password() + "\nLogLevel=1\nStatusChannel=1\n" + extra);
    Host = std::make_unique<tPluginHost>(Copy.LibraryPath());
    Host->Init();
    std::smatch found;
    const std::string log = Log.MainText();
    ASSERT_TRUE(std::regex_search(log, found, std::regex("Status channel open at (\\S+) \\(")))
        << log;
    Socket = found[1];
  }

  void TearDown() override {
    if (Host) Host->Finalize();
  }

  static tKalvorHostRun Ask(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin() + 1, {"--pid", std::to_string(getpid())});
    return RunKalvorHost(arguments);
  }

  PluginCopy Copy;
  LogTail Log{HostLogsFolder()};
  std::unique_ptr<tPluginHost> Host;
  std::string Socket;
};

constexpr int Threads = 8;

std::vector<uint8_t> CommandOf(int thread, int index) {
  switch ((thread + index) % 3) {
    case 0:
      return StartItemRequest(1);
    case 1:
      return ItemDescRequest(10);
  }
  return ActionRequest(900 + thread, 10, "s" + std::to_string(index));
}
}  // namespace

TEST_F(StatusChannelTest, AnswersBesideEightThreadsOfCommandsAndMisbehavingClients) {
  OpenHost(Db->ConnectionString());
  std::atomic<bool> sending{true};
  std::atomic<int> sent{0};
  std::vector<std::thread> hosts;
  for (int thread = 0; thread < Threads; ++thread)
    hosts.emplace_back([&, thread] {
      for (int index = 0; sending; ++index) {
        EXPECT_EQ(Host->Command(thread * 100000 + index, CommandOf(thread, index)), 0);
        ++sent;
        std::this_thread::sleep_for(10ms);
      }
    });
  // A client that asks and never reads, one that sends 1 MB of garbage, and
  // 1,000 connections a second.
  StatusSocketClient silent(Socket);
  send(silent.Fd, "status\n", 7, MSG_NOSIGNAL);
  std::thread garbage([&] {
    StatusSocketClient client(Socket);
    const std::string answer = client.Ask(std::string(1 << 20, '\x07'));
    EXPECT_TRUE(answer.empty() || answer.rfind("error: no request line within 256 bytes", 0) == 0)
        << answer;
  });
  std::atomic<int> connects{0};
  std::thread storm([&] {
    const auto end = std::chrono::steady_clock::now() + 2s;
    while (std::chrono::steady_clock::now() < end) {
      StatusSocketClient client(Socket);
      connects += client.Connected;
      std::this_thread::sleep_for(1ms);
    }
  });

  int asked = 0;
  for (const auto end = std::chrono::steady_clock::now() + 4s;
       std::chrono::steady_clock::now() < end; ++asked) {
    const auto status = Ask({"status"});
    EXPECT_EQ(status.ExitStatus, 0) << status.Output << status.Errors;
    EXPECT_TRUE(Contains(status.Output, "plugin: DYNAMIC_MENU ")) << status.Output;
    // Queued commands are no fault here: the threads send faster than a sanitized build answers.
    const auto health = Ask({"health", "--max-queue", "100000"});
    EXPECT_EQ(health.ExitStatus, 0) << health.Output;
    EXPECT_EQ(
        health.Output.rfind(
            "KALVOR OK - DYNAMIC_MENU pid " + std::to_string(getpid()) + ": connected, queue ", 0),
        0u)
        << health.Output;
  }
  sending = false;
  for (auto& thread : hosts) thread.join();
  storm.join();
  garbage.join();
  const std::vector<tAnswer> answers = Host->WaitAnswers(static_cast<size_t>(sent), 60s);
  std::set<int32_t> ids;
  for (const tAnswer& answer : answers) {
    EXPECT_TRUE(ids.insert(answer.CommandId).second) << "called back twice: " << answer.CommandId;
    EXPECT_EQ(SignedWordAt(answer.Buffer, 12), 0) << "command " << answer.CommandId;
  }
  EXPECT_EQ(answers.size(), static_cast<size_t>(sent.load()));
  EXPECT_GT(asked, 3);
  EXPECT_GT(connects, 500) << "the storm's connections";

  const auto run = Ask({"status", "--json"});
  ASSERT_EQ(run.ExitStatus, 0) << run.Errors;
  const json status = json::parse(run.Output).at(0);
  const json& commands = status["since_start"]["commands"];
  EXPECT_EQ(commands["100"].get<int>() + commands["101"].get<int>() + commands["102"].get<int>(),
            sent.load());
  EXPECT_EQ(status["since_start"]["result_codes"]["0"].get<int>(), sent.load());
  EXPECT_EQ(status["connection"]["state"], "connected");
  EXPECT_EQ(status["database"], Db->ConnectionString());
  EXPECT_EQ(status["queue"]["commands"], 0);
  EXPECT_EQ(status["ini"], Copy.IniPath());
  EXPECT_EQ(status["pid"], getpid());
  EXPECT_TRUE(Contains(status["log_file"].get<std::string>(), "_Kalvor.so.log")) << status;
  std::printf("%d status and health pairs asked beside %d commands, %d connections in 2 s\n", asked,
              sent.load(), connects.load());
}

TEST_F(StatusChannelTest, HealthTellsAnOutageAndItsFailuresAndEndsWithTheChannel) {
  OpenHost("127.0.0.1/1:/nowhere.fdb", "ConnectTimeout=1\n");
  for (int index = 0; index < 3; ++index) {
    ASSERT_EQ(Host->Command(index, StartItemRequest(1)), 0);
    ASSERT_TRUE(Host->WaitAnswer(30s));
  }
  const auto warning = Ask({"health", "--max-unreachable", "3600"});
  EXPECT_EQ(warning.ExitStatus, HealthWarning) << warning.Output;
  EXPECT_TRUE(Contains(warning.Output, "KALVOR WARNING - DYNAMIC_MENU pid ")) << warning.Output;
  EXPECT_TRUE(Contains(warning.Output, ": database unreachable for ")) << warning.Output;
  EXPECT_TRUE(Contains(warning.Output, " s (limit 3600.0 s), 3 commands failed: "))
      << warning.Output;
  EXPECT_TRUE(Contains(warning.Output, "'failures_" + std::to_string(getpid()) + "'=3;5;;0"))
      << warning.Output;
  const auto critical = Ask({"health", "--max-unreachable", "0.1"});
  EXPECT_EQ(critical.ExitStatus, HealthCritical) << critical.Output;
  EXPECT_EQ(critical.Output.rfind("KALVOR CRITICAL - ", 0), 0u) << critical.Output;
  const auto failures =
      Ask({"health", "--max-unreachable", "3600", "--max-failures-per-minute", "2"});
  EXPECT_TRUE(Contains(failures.Output, "; 3 commands failed in the last minute (limit 2)"))
      << failures.Output;

  const auto text = Ask({"status"});
  EXPECT_TRUE(std::regex_search(
      text.Output, std::regex("\nconnection: unreachable since [-0-9]+ [:0-9]+ \\([.0-9]+ s\\), "
                              "3 commands failed since: .+\n")))
      << text.Output;
  EXPECT_TRUE(Contains(text.Output, "\nfailure: ")) << text.Output;

  Host->Finalize();
  Host.reset();
  EXPECT_FALSE(std::filesystem::exists(Socket)) << "the socket outlived Finalize_Plugin";
  const auto gone = Ask({"health"});
  EXPECT_EQ(gone.ExitStatus, HealthUnknown) << gone.Output;
  EXPECT_EQ(gone.Output, "KALVOR UNKNOWN - no plugin of process " + std::to_string(getpid()) +
                             " has its status channel open\n");
  const auto usage = RunKalvorHost({"health", "--max-queue", "many"});
  EXPECT_EQ(usage.ExitStatus, HealthUnknown);
  EXPECT_EQ(usage.Output.rfind("KALVOR UNKNOWN - --max-queue must be a 32-bit decimal", 0), 0u)
      << usage.Output;
}

// Who may ask follows the host's Logs folder: its group when the group may
// write there, and nobody else.
TEST_F(StatusChannelTest, OnlyTheGroupOfTheLogsFolderMayAsk) {
  const std::string logs = HostLogsFolder();
  std::filesystem::create_directories(logs);
  struct stat before {};
  ASSERT_EQ(stat(logs.c_str(), &before), 0);
  ASSERT_EQ(chmod(logs.c_str(), 02775), 0);
  OpenHost(Db->ConnectionString());
  // A copy any account may run: a clone in root's home is closed to others.
  TempFolder bin;
  std::filesystem::permissions(bin.Path(), std::filesystem::perms(0755));
  std::filesystem::copy_file(std::string(KALVOR_BINARY_DIR) + "/kalvor-host", bin / "kalvor-host");
  const std::string tool =
      ShellQuoted(bin / "kalvor-host") + " status --pid " + std::to_string(getpid()) + " 2>&1";
  const ShellResult member = RunShellCommand(
      "runuser -u nobody -g " + std::string(getgrgid(before.st_gid)->gr_name) + " -- " + tool);
  EXPECT_TRUE(member.Succeeded) << member.Output;
  EXPECT_TRUE(Contains(member.Output, "plugin: DYNAMIC_MENU ")) << member.Output;
  const ShellResult outsider =
      RunShellCommand("runuser -u nobody -g nogroup -- " + tool + "; echo \"exit $?\"");
  EXPECT_TRUE(Contains(outsider.Output, "exit " + std::to_string(ExitNotAsked))) << outsider.Output;
  EXPECT_TRUE(std::regex_search(outsider.Output, std::regex("Permission denied")))
      << outsider.Output;
  EXPECT_TRUE(Contains(outsider.Output,
                       "only the host's account and the group of its Logs folder "
                       "may ask"))
      << outsider.Output;
  EXPECT_FALSE(Contains(outsider.Output, "plugin: ")) << outsider.Output;
  chmod(logs.c_str(), before.st_mode & 07777);
}

// A Logs folder its group may not write names no group to admit: the socket
// is the host's account's alone, and a member of that group is refused too.
TEST_F(StatusChannelTest, WithoutAGroupThatWritesTheLogsOnlyTheHostsAccountMayAsk) {
  const std::string logs = HostLogsFolder();
  std::filesystem::create_directories(logs);
  struct stat before {};
  ASSERT_EQ(stat(logs.c_str(), &before), 0);
  ASSERT_EQ(chmod(logs.c_str(), 0755), 0);
  OpenHost(Db->ConnectionString());
  chmod(logs.c_str(), before.st_mode & 07777);
  EXPECT_TRUE(Contains(Log.MainText(),
                       "Status channel open at " + Socket + " (mode 0600, this account alone)"))
      << Log.MainText();
  struct stat socket {};
  ASSERT_EQ(stat(Socket.c_str(), &socket), 0);
  EXPECT_EQ(socket.st_mode & 0777, 0600u);
  EXPECT_EQ(Ask({"status"}).ExitStatus, 0) << "the host's own account";
  TempFolder bin;
  std::filesystem::permissions(bin.Path(), std::filesystem::perms(0755));
  std::filesystem::copy_file(std::string(KALVOR_BINARY_DIR) + "/kalvor-host", bin / "kalvor-host");
  const ShellResult member =
      RunShellCommand("runuser -u nobody -g " + std::string(getgrgid(before.st_gid)->gr_name) +
                      " -- " + ShellQuoted(bin / "kalvor-host") + " health --pid " +
                      std::to_string(getpid()) + "; echo \"exit $?\"");
  EXPECT_TRUE(Contains(member.Output, "KALVOR UNKNOWN - ")) << member.Output;
  EXPECT_TRUE(Contains(member.Output, "exit " + std::to_string(HealthUnknown))) << member.Output;
}

// status without a channel to ask says so and exits 3 (one could not be
// asked); --watch asks again and again, each time on a cleared screen.
TEST_F(StatusChannelTest, StatusSaysWhatItCouldNotAskAndWatchRefreshes) {
  const auto none = Ask({"status"});
  EXPECT_EQ(none.ExitStatus, ExitNotAsked);
  EXPECT_EQ(none.Output, "");
  EXPECT_EQ(none.Errors, "kalvor-host: no plugin of process " + std::to_string(getpid()) +
                             " has its status channel open\n");
  const auto noneJson = Ask({"status", "--json"});
  EXPECT_EQ(noneJson.Output, "[]\n");

  OpenHost(Db->ConnectionString());
  const ShellResult watched = RunShellCommand(
      "timeout -s INT 2 " + ShellQuoted(std::string(KALVOR_BINARY_DIR) + "/kalvor-host") +
      " status --watch 0.4 --pid " + std::to_string(getpid()));
  const auto count = [&](const std::string& part) {
    size_t found = 0;
    for (size_t at = 0; (at = watched.Output.find(part, at)) != std::string::npos;
         at += part.size())
      ++found;
    return found;
  };
  EXPECT_GE(count("\x1b[H\x1b[2Jkalvor-host status, every 0.4 s, at "), 3u) << watched.Output;
  // The interrupt may come between a clearing and its block.
  EXPECT_GE(count("\nplugin: DYNAMIC_MENU ") + 1, count("\x1b[H\x1b[2J")) << watched.Output;
}

// Unloaded without Finalize_Plugin, as a host that ends badly does: the
// socket goes with the session, and a new load opens a new one.
TEST_F(StatusChannelTest, AnUnloadWithoutFinalizeClosesTheChannel) {
  OpenHost(Db->ConnectionString());
  ASSERT_TRUE(std::filesystem::exists(Socket));
  Host->Unload();
  Host.reset();
  EXPECT_FALSE(std::filesystem::exists(Socket)) << "the socket outlived the unload";
  EXPECT_EQ(Ask({"health"}).ExitStatus, HealthUnknown);
  OpenHost(Db->ConnectionString());
  EXPECT_EQ(Ask({"health"}).ExitStatus, 0);
}

// LogKeepDays=1 at Init_Plugin: an old day folder of the plugin's own files
// goes; one that also holds a file of someone else's keeps that file and
// itself, and the log says why.
TEST_F(StatusChannelTest, LogKeepDaysRemovesOnlyOldFoldersOfThePluginsOwnFiles) {
  const std::filesystem::path logs = HostLogsFolder();
  const std::filesystem::path gone = logs / "2001_01_01";
  const std::filesystem::path kept = logs / "2001_01_02";
  for (const std::filesystem::path& file :
       {gone / "09_Kalvor.so.log", gone / "full_09_Kalvor.so.log", kept / "10_Kalvor.so.log",
        kept / "notes.txt"}) {
    std::filesystem::create_directories(file.parent_path());
    WriteWholeFile(file.string(), "old\r\n");
  }
  OpenHost(Db->ConnectionString(), "LogKeepDays=1\n");
  EXPECT_FALSE(std::filesystem::exists(gone));
  EXPECT_TRUE(std::filesystem::exists(kept / "notes.txt"));
  EXPECT_FALSE(std::filesystem::exists(kept / "10_Kalvor.so.log"));
  EXPECT_TRUE(std::regex_search(
      Log.MainText(),
      std::regex("Log retention \\(LogKeepDays=1\\): removed [0-9]+ day folders? and [0-9]+ "
                 "files? from before [-0-9]+; kept 2001_01_02 \\(holds files not the plugin's "
                 "own\\)")))
      << Log.MainText();
  std::filesystem::remove_all(kept);
}

}  // namespace
