// kalvor-host run as a user runs it: the built tool loading a copy of the
// plugin that answers from a test database holding the demo menu.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "KalvorHostDemoTest.h"
#include "support/KalvorHostRun.h"
#include "support/PluginCopy.h"
#include "support/PrivateFirebirdServer.h"
#include "support/ShellCommand.h"
#include "support/TempFolder.h"

using nlohmann::json;

namespace {

// Names as the tool shows them: UTF-8 bytes, converted from the database's Windows-1251.
const std::string GreetingUtf8 =
    "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\xd1\x81\xd1\x82\xd0\xb2\xd0\xb8\xd0\xb5";
const std::string GoodbyeUtf8 = "\xd0\x9f\xd1\x80\xd0\xbe\xd1\x89\xd0\xb0\xd0\xbd\xd0\xb8\xd0\xb5";
const std::string WorkDaysUtf8 = "\xd0\xbf\xd0\xbd-\xd0\xbf\xd1\x82 09:00-18:00";
constexpr int GreetingCp1251Length = 11;

constexpr int ExitCommandFailed = 1;
constexpr int ExitPluginError = 3;
constexpr int ExitTimeout = 4;

// Menu 2 leads from its start item 60 to item 61, which does not exist.
const char* DanglingMenu =
    "INSERT INTO MENUS (MENU_ID, MENU_NAME, ITEM_START_ID) VALUES (2, 'Dangling', 60);\n"
    "INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (600, 'To nowhere');\n"
    "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME, MENU_CONNECTION_ID)"
    " VALUES (60, 3, 'Start', 600);\n"
    "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY,"
    " CONNECTION_ITEM_ID, CONNECTION_WAY_DESC) VALUES (600, 1, '1', 61, 'Gone');\n";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The value of a "name   value" line of the tool's decoded text, empty when there is none.
std::string Field(const std::string& output, const std::string& name) {
  size_t start = 0;
  while (start < output.size()) {
    const size_t end = std::min(output.find('\n', start), output.size());
    const std::string line = output.substr(start, end - start);
    if (line.rfind(name + " ", 0) == 0) {
      const size_t value = line.find_first_not_of(' ', name.size());
      return value == std::string::npos ? "" : line.substr(value);
    }
    start = end + 1;
  }
  return {};
}

size_t CountOf(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// Lines of the walk tree that describe the item rather than point back to it.
size_t DescribedCount(const std::string& tree, int itemId) {
  const std::string head = "[" + std::to_string(itemId) + "] ";
  const std::string pointer = "(see above)";
  size_t count = 0;
  size_t start = 0;
  while (start < tree.size()) {
    const size_t end = std::min(tree.find('\n', start), tree.size());
    const std::string line = tree.substr(start, end - start);
    const bool pointsBack =
        line.size() >= pointer.size() &&
        line.compare(line.size() - pointer.size(), pointer.size(), pointer) == 0;
    if (Contains(line, head) && !pointsBack) ++count;
    start = end + 1;
  }
  return count;
}

class KalvorHostDbTest : public KalvorHostDemoTest {
 protected:
  static void SetUpTestSuite() { StartDemo(DanglingMenu); }
};

TEST_F(KalvorHostDbTest, StartItemGivesTheMenusStartItemOrFailsForAnUnknownMenu) {
  const auto run = Host({"start-item", "1"});
  ASSERT_EQ(run.ExitStatus, 0) << run.Errors;
  EXPECT_EQ(Field(run.Output, "outcome"), "0 (succeeded)") << run.Output;
  EXPECT_EQ(Field(run.Output, "result_code"), "0 (success)");
  EXPECT_EQ(Field(run.Output, "menu_id"), "1");
  EXPECT_EQ(Field(run.Output, "menu_start_itemid"), "10");

  json found = HostJson({"start-item", "1"});
  EXPECT_EQ(found["command"], 100);
  EXPECT_EQ(found["size"], 24);
  EXPECT_EQ(found["outcome"], 0);
  EXPECT_EQ(found["menu_start_itemid"], 10);

  json unknown = HostJson({"start-item", "77"}, ExitCommandFailed);
  EXPECT_EQ(unknown["outcome"], 1);
  EXPECT_EQ(unknown["result_code"], 2);
  EXPECT_EQ(unknown["menu_id"], 77);
}

TEST_F(KalvorHostDbTest, ItemShowsAVoiceItemWithItsTextsInUtf8) {
  const auto run = Host({"item", "10"});
  ASSERT_EQ(run.ExitStatus, 0) << run.Errors;
  EXPECT_EQ(Field(run.Output, "result_code"), "0 (success)");
  EXPECT_EQ(Field(run.Output, "menu_item_id"), "10");
  EXPECT_EQ(Field(run.Output, "menu_service_id"), "1 (voice)");
  EXPECT_TRUE(Contains(Field(run.Output, "item_name"), "\"" + GreetingUtf8 + "\"")) << run.Output;
  EXPECT_EQ(Field(run.Output, "connections_count"), "3");

  json item = HostJson({"item", "10"});
  EXPECT_EQ(item["outcome"], 0);
  EXPECT_EQ(item["kind"], "voice");
  EXPECT_EQ(item["item_name"], GreetingUtf8);
  // Lengths and offsets are the answer's own: Windows-1251 bytes, not the UTF-8 shown.
  EXPECT_EQ(item["item_name_length"], GreetingCp1251Length);
  EXPECT_EQ(item["size"], item["connections_offset"].get<int>() +
                              item["connections"][0]["row_size"].get<int>() +
                              item["connections"][1]["row_size"].get<int>() +
                              item["connections"][2]["row_size"].get<int>());
  EXPECT_EQ(item["menu_connection_id"], 100);
  EXPECT_EQ(item["voice"]["voice_synthez_place"], 1);
  EXPECT_EQ(item["voice"]["voice_timeout"], 5000);
  EXPECT_EQ(item["voice"]["voice_repeat_count"], 3);
  EXPECT_EQ(item["voice"]["macro_name"], "GREETING");
  std::vector<std::pair<std::string, int>> rows;
  for (auto& row : item["connections"])
    rows.emplace_back(row["connection_key"].get<std::string>(),
                      row["connection_item_id"].get<int>());
  EXPECT_EQ(rows, (std::vector<std::pair<std::string, int>>{{"1", 20}, {"2", 30}, {"0", 40}}));
}

TEST_F(KalvorHostDbTest, ItemShowsAConditionItemAndAnItemWithoutConnection) {
  json condition = HostJson({"item", "30"});
  EXPECT_EQ(condition["kind"], "condition");
  EXPECT_EQ(condition["condition"]["cond_plugin"], "WORK_TIME");
  EXPECT_EQ(condition["condition"]["cond_data"], WorkDaysUtf8);
  EXPECT_FALSE(condition.contains("voice"));

  json last = HostJson({"item", "40"});
  EXPECT_EQ(last["menu_connection_id"], -1);
  EXPECT_EQ(last["connections_count"], 0);
  EXPECT_EQ(last["connections_offset"], last["size"]);
  EXPECT_EQ(last["voice"]["voice_timeout"], -1);
  EXPECT_EQ(last["voice"]["voice_repeat_count"], 1);
}

TEST_F(KalvorHostDbTest, MissingItemExitsWithOneAndSaysNotFound) {
  const auto run = Host({"item", "999"});
  EXPECT_EQ(run.ExitStatus, ExitCommandFailed);
  EXPECT_EQ(Field(run.Output, "outcome"), "1 (failed)") << run.Output;
  EXPECT_EQ(Field(run.Output, "result_code"), "2 (buffer too small, or not found)");
  EXPECT_EQ(Field(run.Output, "item_name"), "");
  EXPECT_TRUE(Contains(run.Errors, "the answer reports a failure")) << run.Errors;

  json missing = HostJson({"item", "999"}, ExitCommandFailed);
  EXPECT_EQ(missing["result_code"], 2);
  EXPECT_EQ(missing["menu_item_id"], 999);
  EXPECT_FALSE(missing.contains("item_name"));
}

TEST_F(KalvorHostDbTest, ActionIsRecordedInTheProtocol) {
  const auto run = Host({"action", "4711", "20", "9"});
  ASSERT_EQ(run.ExitStatus, 0) << run.Errors;
  EXPECT_EQ(Field(run.Output, "result_code"), "0 (success)") << run.Output;
  EXPECT_EQ(Field(run.Output, "session_id"), "4711");
  EXPECT_TRUE(Contains(Field(run.Output, "item_key"), "length 1, \"9\"")) << run.Output;

  json again = HostJson({"action", "4711", "50", "#"});
  EXPECT_EQ(again["outcome"], 0);
  EXPECT_EQ(again["item_id"], 50);
  EXPECT_EQ(again["item_key"], "#");

  EXPECT_EQ(Db->QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 4711;"), "2");
  EXPECT_EQ(Db->QueryValue("SELECT LAST_ITEM_ID FROM MENU_SESSIONS WHERE SESSION_ID = 4711;"),
            "50");
  EXPECT_EQ(Db->QueryValue("SELECT LAST_ITEM_KEY FROM MENU_SESSIONS WHERE SESSION_ID = 4711;"),
            "#");
}

// The demo menu leads back to its start from items 20 and 50.
TEST_F(KalvorHostDbTest, WalkVisitsEveryReachableItemOnceDespiteCycles) {
  json walk = HostJson({"walk", "1"});
  EXPECT_EQ(walk["start_item_id"], 10);
  std::vector<int> asked;
  for (auto& item : walk["items"]) {
    asked.push_back(item["menu_item_id"].get<int>());
    EXPECT_EQ(item["outcome"], 0) << item.dump();
  }
  std::sort(asked.begin(), asked.end());
  EXPECT_EQ(asked, (std::vector<int>{10, 20, 30, 40, 50}));

  const auto tree = Host({"walk", "1"});
  ASSERT_EQ(tree.ExitStatus, 0) << tree.Errors;
  EXPECT_EQ(tree.Output.rfind("menu 1, start item 10\n", 0), 0u) << tree.Output;
  // Each item is described once; every further way to it points back.
  for (const int id : {10, 20, 30, 40, 50}) EXPECT_EQ(DescribedCount(tree.Output, id), 1u) << id;
  EXPECT_EQ(CountOf(tree.Output, "(see above)"), 4u) << tree.Output;
  EXPECT_TRUE(Contains(tree.Output, "[10] \"" + GreetingUtf8 + "\" voice, prompt ")) << tree.Output;
  EXPECT_TRUE(Contains(tree.Output, "key \"#\"")) << tree.Output;
}

TEST_F(KalvorHostDbTest, WalkDotIsAcceptedByGraphviz) {
  const auto walk = Host({"walk", "1", "--dot"});
  ASSERT_EQ(walk.ExitStatus, 0) << walk.Errors;
  EXPECT_EQ(CountOf(walk.Output, " -> "), 8u) << walk.Output;  // one edge per connection row

  // Graphviz is a test dependency: without dot this fails rather than passing unchecked.
  ASSERT_TRUE(RunShellCommand("command -v dot").Succeeded) << "Graphviz dot is not installed";
  TempFolder folder("kalvor-dot");
  WriteWholeFile(folder / "menu.dot", walk.Output);
  const auto drawn = RunShellCommand("dot -Tsvg " + ShellQuoted(folder / "menu.dot"));
  ASSERT_TRUE(drawn.Succeeded) << drawn.Output;
  EXPECT_TRUE(Contains(drawn.Output, "<svg")) << drawn.Output;
  EXPECT_TRUE(Contains(drawn.Output, GoodbyeUtf8)) << drawn.Output;
}

TEST_F(KalvorHostDbTest, WalkReachingAMissingItemExitsWithOne) {
  json walk = HostJson({"walk", "2"}, ExitCommandFailed);
  std::map<int, int> resultCodes;
  for (auto& item : walk["items"])
    resultCodes[item["menu_item_id"].get<int>()] = item["result_code"].get<int>();
  EXPECT_EQ(resultCodes, (std::map<int, int>{{60, 0}, {61, 2}}));

  const auto tree = Host({"walk", "2"});
  EXPECT_EQ(tree.ExitStatus, ExitCommandFailed);
  EXPECT_TRUE(Contains(tree.Output, "[61] does not exist (result code 2)")) << tree.Output;
}

TEST(KalvorHostFailures, UnloadablePluginExitsWithThree) {
  const auto run = RunKalvorHost({"--plugin", "/nonexistent/folder/Kalvor.so", "walk", "1"});
  EXPECT_EQ(run.ExitStatus, ExitPluginError);
  EXPECT_TRUE(Contains(run.Errors, "cannot load plugin /nonexistent/folder/Kalvor.so"))
      << run.Errors;
  EXPECT_TRUE(run.Output.empty()) << run.Output;
}

TEST(KalvorHostFailures, PluginThatNeverAnswersTimesOut) {
  const auto run =
      RunKalvorHost({"--plugin", KALVOR_SILENT_PLUGIN_PATH, "--timeout", "300", "item", "1"});
  EXPECT_EQ(run.ExitStatus, ExitTimeout);
  EXPECT_TRUE(Contains(run.Errors, "no callback for command 101 within 300 ms")) << run.Errors;
  EXPECT_TRUE(run.Output.empty()) << run.Output;
}

// The value of KEY=value in an ini, empty when there is none.
std::string IniValue(const std::string& ini, const std::string& key) {
  std::istringstream lines(ini);
  for (std::string line; std::getline(lines, line);)
    if (line.starts_with(key + "=")) return line.substr(key.size() + 1);
  return {};
}

// The plugin as its own user, made by scripts/plugin-user.sh on a server of
// the test's own, whose copy of the security database takes the new user:
// the six procedures serve commands 100, 101 and 102, while a direct SELECT
// as that user is refused, and check --tables says which account it needs.
TEST(KalvorHostPluginUser, ServesTheThreeCommandsWhileATableIsRefused) {
  PrivateFirebirdServer server;
  TestDatabase db(server.Host());
  db.RunScript(std::string(KALVOR_SOURCE_DIR) + "/sql/demo-data.sql");
  PluginCopy plugin;
  plugin.WriteIni("[Main]\nDBName=nowhere.fdb\nDBUser=SYSDBA\nDBPWD=\nLogLevel=1\n");
  const std::string makeUser =
      ShellQuoted(std::string(KALVOR_SOURCE_DIR) + "/scripts/plugin-user.sh") + " " +
      ShellQuoted(db.ConnectionString()) + " --ini " + ShellQuoted(plugin.IniPath());
  const auto made = RunShellCommand(makeUser);
  ASSERT_TRUE(made.Succeeded) << made.Output;
  EXPECT_TRUE(Contains(made.Output, "user KALVOR created on the server, with a new password"))
      << made.Output;
  const std::string ini = ReadWholeFile(plugin.IniPath());
  EXPECT_EQ(IniValue(ini, "DBName"), db.ConnectionString()) << ini;
  EXPECT_EQ(IniValue(ini, "DBUser"), "KALVOR") << ini;
  const std::string password = IniValue(ini, "DBPWD");
  EXPECT_EQ(password.size(), 24u) << ini;

  // Run again, the user and its password stay.
  const auto again = RunShellCommand(makeUser);
  ASSERT_TRUE(again.Succeeded) << again.Output;
  EXPECT_TRUE(Contains(again.Output, "user KALVOR exists on the server: its password is left"))
      << again.Output;
  EXPECT_EQ(IniValue(ReadWholeFile(plugin.IniPath()), "DBPWD"), password);

  const auto host = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--plugin", plugin.LibraryPath()});
    return RunKalvorHost(arguments);
  };
  const auto start = host({"start-item", "1"});
  EXPECT_EQ(start.ExitStatus, 0) << start.Output << start.Errors;
  EXPECT_EQ(Field(start.Output, "menu_start_itemid"), "10") << start.Output;
  const auto item = host({"item", "30"});
  EXPECT_EQ(item.ExitStatus, 0) << item.Output << item.Errors;
  EXPECT_EQ(Field(item.Output, "connections_count"), "2") << item.Output;
  const auto action = host({"action", "4713", "30", "TRUE"});
  EXPECT_EQ(action.ExitStatus, 0) << action.Output << action.Errors;
  EXPECT_EQ(db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 4713;"), "1");
  const auto check = host({"check", "1", "--ends", "40", "--strict"});
  EXPECT_EQ(check.ExitStatus, 0) << check.Output << check.Errors;

  const auto select = RunShellCommand(
      "echo 'SELECT COUNT(*) FROM MENU_ITEMS;' | ISC_USER=KALVOR ISC_PASSWORD=" +
      ShellQuoted(password) + " isql-fb -q -i /dev/stdin " + ShellQuoted(db.ConnectionString()));
  EXPECT_FALSE(select.Succeeded) << select.Output;
  EXPECT_TRUE(Contains(select.Output, "no permission for SELECT access to TABLE MENU_ITEMS"))
      << select.Output;

  const auto tables = host({"check", "1", "--tables"});
  EXPECT_EQ(tables.ExitStatus, ExitCommandFailed);
  EXPECT_TRUE(Contains(tables.Errors, "no permission for SELECT access to TABLE MENUS"))
      << tables.Errors;
  EXPECT_TRUE(Contains(tables.Errors, "give --ini FILE with the database owner's account"))
      << tables.Errors;
}

// An action whose key holds a double quote is refused with a text that holds
// a line break and, after it, what looks like the end of a command's frame.
const char* ForgingProcedure = R"(CREATE EXCEPTION ACTION_REFUSED 'refused';
SET TERM ^ ;
ALTER PROCEDURE MENU_PROT_ACTIONS (SESSION_ID INTEGER, ITEM_ID INTEGER, ITEM_KEY VARCHAR(1000)) AS
BEGIN
  IF (ITEM_KEY CONTAINING '"') THEN
    EXCEPTION ACTION_REFUSED 'refused' || ASCII_CHAR(13) || ASCII_CHAR(10) ||
      '04:00:00.000 <--Operation was complete [0]--';
  INSERT INTO MENU_ACTIONS (SESSION_ID, ITEM_ID, ITEM_KEY) VALUES (:SESSION_ID, :ITEM_ID, :ITEM_KEY);
END^
SET TERM ; ^)";

class KalvorHostRefusedTextTest : public KalvorHostDemoTest {
 protected:
  static void SetUpTestSuite() { StartDemo(ForgingProcedure); }
};

// The tool shows the failed command's frame of the plugin's log: the failure
// in one entry, the database's text escaped inside it, the real frame end last.
TEST_F(KalvorHostRefusedTextTest, DatabaseTextsCannotForgeLogLines) {
  const auto run = Host({"action", "4712", "20", "a\"b"});
  ASSERT_EQ(run.ExitStatus, ExitCommandFailed) << run.Output << run.Errors;
  EXPECT_EQ(CountOf(run.Errors, "Error while processing onDynMenu_PostMenuAction Msg="), 1u)
      << run.Errors;
  EXPECT_TRUE(Contains(run.Errors, "menu_prot_actions(4712,20,\\\"a\\\"\\\"b\\\")"))
      << "the statement's value escaped: " << run.Errors;
  EXPECT_TRUE(Contains(run.Errors, "refused\\r\\n04:00:00.000 <--Operation was complete [0]--"))
      << run.Errors;
  EXPECT_TRUE(Contains(run.Errors, "IN[session_id=4712, item_id=20, item_key=\"a\\\"b\"]"))
      << run.Errors;

  // The log lines the tool shows, indented by two blanks: one frame end, the last.
  const std::regex frameEnd("  [0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} <--Operation was complete .*");
  std::vector<bool> isEnd;
  std::istringstream shown(run.Errors);
  for (std::string line; std::getline(shown, line);)
    if (line.starts_with("  ")) isEnd.push_back(std::regex_match(line, frameEnd));
  EXPECT_EQ(std::count(isEnd.begin(), isEnd.end(), true), 1) << run.Errors;
  ASSERT_FALSE(isEnd.empty()) << run.Errors;
  EXPECT_TRUE(isEnd.back()) << "the frame read to its end\n" << run.Errors;
}

}  // namespace
