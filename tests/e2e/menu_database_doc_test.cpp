// docs/menu-database.md as an operator follows it, against fresh databases
// with the schema: its own menu passes kalvor-host check and walks; its load
// commands store Russian texts as they read, from a UTF-8 and from a
// Windows-1251 file, and -bail leaves nothing of a failing file; a load
// without -ch is caught by check; its change in one transaction leaves callers
// the old rows until the COMMIT. The document's examples stay true.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/IsqlSession.h"
#include "support/KalvorHostRun.h"
#include "support/PluginCopy.h"
#include "support/ShellCommand.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

namespace {

// "Приветствие" in UTF-8 and in Windows-1251.
const std::string GreetingUtf8 =
    "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82\xd1\x81\xd1\x82\xd0\xb2\xd0\xb8\xd0\xb5";
const std::string GreetingCp1251 = "\xcf\xf0\xe8\xe2\xe5\xf2\xf1\xf2\xe2\xe8\xe5";
// Where the document's commands name the database.
const std::string DocumentsDatabase = "127.0.0.1:/srv/kalvor/menu.fdb";

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Document() {
  return ReadWholeFile(std::string(KALVOR_SOURCE_DIR) + "/docs/menu-database.md");
}

// Every block fenced as "```sql" in the document, in order.
std::vector<std::string> SqlBlocksOf(const std::string& markdown) {
  const std::string open = "```sql\n";
  const std::string close = "\n```";
  std::vector<std::string> blocks;
  for (auto start = markdown.find(open); start != std::string::npos;
       start = markdown.find(open, start)) {
    start += open.size();
    const auto end = markdown.find(close, start);
    if (end == std::string::npos) break;
    blocks.push_back(markdown.substr(start, end - start) + "\n");
    start = end;
  }
  return blocks;
}

std::string SqlBlockHolding(const std::string& markdown, const std::string& part) {
  for (const auto& block : SqlBlocksOf(markdown))
    if (Contains(block, part)) return block;
  ADD_FAILURE() << "no sql block of the document holds " << part;
  return {};
}

// The document's command line that begins with start and holds part, without
// its trailing comment.
std::string CommandLineOf(const std::string& markdown, const std::string& start,
                          const std::string& part) {
  size_t at = 0;
  while (at < markdown.size()) {
    const size_t end = std::min(markdown.find('\n', at), markdown.size());
    std::string line = markdown.substr(at, end - at);
    if (line.starts_with(start) && Contains(line, part)) return line.substr(0, line.find("   #"));
    at = end + 1;
  }
  ADD_FAILURE() << "the document has no command line " << start << "... " << part;
  return {};
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// A fresh database and a plugin copy that answers from it.
struct tMenuDatabase {
  tMenuDatabase() {
    Plugin.WriteIni("[Main]\nDBName=" + Db.ConnectionString() + "\nDBUser=" + TestDatabase::User() +
                    "\nDBPWD=" + TestDatabase::Password() + "\nLogLevel=1\n");
  }

  tKalvorHostRun Host(std::vector<std::string> arguments) const {
    arguments.insert(arguments.begin(), {"--plugin", Plugin.LibraryPath()});
    return RunKalvorHost(arguments);
  }

  // A command line of the document run in a folder holding my-menu.sql, as
  // root with SYSDBA's password in the environment, on this database.
  ShellResult RunDocumented(const std::string& commandLine, const std::string& menuFile) const {
    TempFolder folder("kalvor-doc");
    WriteWholeFile(folder / "my-menu.sql", menuFile);
    return RunShellCommand(
        "cd " + ShellQuoted(folder.Path()) +
        " && export ISC_USER=SYSDBA ISC_PASSWORD=" + ShellQuoted(TestDatabase::Password()) +
        " && " + Replaced(commandLine, DocumentsDatabase, Db.ConnectionString()));
  }

  TestDatabase Db;
  PluginCopy Plugin;
};

}  // namespace

TEST(MenuDatabaseDocTest, TheDocumentsOwnMenuPassesCheckAndWalks) {
  const std::string markdown = Document();
  std::string sql;
  for (const auto& block : SqlBlocksOf(markdown)) sql += block;
  ASSERT_TRUE(Contains(sql, "INSERT INTO MENUS")) << "no menu in the document";
  tMenuDatabase menu;
  menu.Db.Execute(sql);

  const auto check = menu.Host({"check", "7", "--strict"});
  EXPECT_EQ(check.ExitStatus, 0) << check.Output << check.Errors;
  EXPECT_TRUE(Contains(check.Output, " 0 errors")) << check.Output;

  const auto walk = menu.Host({"walk", "7"});
  EXPECT_EQ(walk.ExitStatus, 0) << walk.Output << walk.Errors;
  EXPECT_EQ(walk.Output.rfind("menu 7, start item 700\n", 0), 0u) << walk.Output;
  for (const std::string item : {"[700]", "[710]", "[720]", "[730]", "Reception at once"})
    EXPECT_TRUE(Contains(walk.Output, item)) << item << " not walked:\n" << walk.Output;

  // The grants the document shows are those of the script that gives them.
  const std::string grants = ReadWholeFile(std::string(KALVOR_SOURCE_DIR) + "/sql/plugin-user.sql");
  size_t at = 0;
  while ((at = grants.find("GRANT ", at)) != std::string::npos) {
    const std::string statement = grants.substr(at, grants.find('\n', at) - at);
    EXPECT_TRUE(Contains(SqlBlockHolding(markdown, "TO USER KALVOR"), statement)) << statement;
    at += statement.size();
  }
}

// The load commands as the document gives them, with the greeting in Russian:
// from a UTF-8 file, a Windows-1251 file and the pipe through iconv, the name
// reads as it was written; without -ch it is stored as UTF-8 and check says so.
TEST(MenuDatabaseDocTest, TheLoadCommandsStoreRussianTextsAsTheyRead) {
  const std::string markdown = Document();
  const std::string menuSql = SqlBlockHolding(markdown, "INSERT INTO MENUS");
  const std::string utf8File = Replaced(menuSql, "'Greeting'", "'" + GreetingUtf8 + "'");
  const std::string cp1251File = Replaced(menuSql, "'Greeting'", "'" + GreetingCp1251 + "'");
  const std::string utf8Load = CommandLineOf(markdown, "isql-fb ", "-ch UTF8 -i my-menu.sql");
  struct tLoad {
    std::string CommandLine;
    std::string File;
  };
  for (const tLoad& load : {
           tLoad{utf8Load, utf8File},
           tLoad{CommandLineOf(markdown, "isql-fb ", "-ch WIN1251 -i my-menu.sql"), cp1251File},
           tLoad{CommandLineOf(markdown, "iconv ", "-i /dev/stdin"), cp1251File},
       }) {
    SCOPED_TRACE(load.CommandLine);
    tMenuDatabase menu;
    const auto loaded = menu.RunDocumented(load.CommandLine, load.File);
    ASSERT_TRUE(loaded.Succeeded) << loaded.Output;
    const auto check = menu.Host({"check", "7", "--strict"});
    EXPECT_EQ(check.ExitStatus, 0) << check.Output << check.Errors;
    const auto item = menu.Host({"--json", "item", "700"});
    ASSERT_EQ(item.ExitStatus, 0) << item.Errors;
    EXPECT_EQ(nlohmann::json::parse(item.Output)["item_name"], GreetingUtf8) << item.Output;
  }

  tMenuDatabase garbled;
  ASSERT_TRUE(garbled.RunDocumented(Replaced(utf8Load, "-ch UTF8 ", ""), utf8File).Succeeded);
  const auto check = garbled.Host({"check", "7"});
  EXPECT_EQ(check.ExitStatus, 1) << check.Output;
  EXPECT_TRUE(Contains(check.Output, "error: item 700 MENU_ITEM_NAME \"")) << check.Output;
  EXPECT_TRUE(Contains(check.Output, "(it reads \"" + GreetingUtf8 + "\")")) << check.Output;
}

// A duplicate item number at the end of the file: -bail stops there, and the
// statements before it are not committed.
TEST(MenuDatabaseDocTest, TheLoadCommandLeavesNothingOfAFailingFile) {
  const std::string markdown = Document();
  const std::string menuSql = SqlBlockHolding(markdown, "INSERT INTO MENUS");
  const std::string duplicate =
      "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, SEQ, MENU_SERVICE_ID) VALUES (700, 0, 1);\n";
  const std::string failing = Replaced(menuSql, "\nCOMMIT;", "\n" + duplicate + "COMMIT;");
  ASSERT_NE(failing, menuSql);
  tMenuDatabase menu;
  const auto loaded =
      menu.RunDocumented(CommandLineOf(markdown, "isql-fb ", "-ch UTF8 -i my-menu.sql"), failing);
  EXPECT_FALSE(loaded.Succeeded) << loaded.Output;
  EXPECT_TRUE(Contains(loaded.Output, "violation of PRIMARY or UNIQUE KEY")) << loaded.Output;
  EXPECT_EQ(menu.Db.QueryValue("SELECT COUNT(*) FROM MENU_ITEMS;"), "0");
  EXPECT_EQ(menu.Host({"start-item", "7"}).ExitStatus, 1);
}

// The document's change, held open before its COMMIT: callers are answered
// with the old rows, never with none, and with the new ones after it.
TEST(MenuDatabaseDocTest, AChangeInOneTransactionLeavesCallersNoHole) {
  const std::string markdown = Document();
  const std::string change = SqlBlockHolding(markdown, "DELETE FROM MENU_CONNECTION_ROWS");
  ASSERT_TRUE(Contains(change, "\nCOMMIT;")) << change;
  tMenuDatabase menu;
  menu.Db.Execute(SqlBlockHolding(markdown, "INSERT INTO MENUS"));
  const auto rows = [&menu] {
    const auto item = menu.Host({"--json", "item", "700"});
    EXPECT_EQ(item.ExitStatus, 0) << item.Output << item.Errors;
    return item.ExitStatus == 0 ? nlohmann::json::parse(item.Output)["connections_count"].get<int>()
                                : -1;
  };
  ASSERT_EQ(rows(), 2);

  IsqlSession editor(menu.Db.ConnectionString(), TestDatabase::User(), TestDatabase::Password());
  editor.Send(change.substr(0, change.find("\nCOMMIT;")) + "\n");
  ASSERT_TRUE(editor.WaitUntilDone(std::chrono::seconds(20)));
  EXPECT_EQ(rows(), 2) << "a caller during the change";
  editor.Send("COMMIT;\n");
  ASSERT_TRUE(editor.WaitUntilDone(std::chrono::seconds(20)));
  EXPECT_EQ(rows(), 3) << "a caller after the change";
}
