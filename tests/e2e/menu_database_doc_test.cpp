// The menu of docs/menu-database.md, loaded as the document shows it into a
// fresh database with the schema, passes kalvor-host check without a finding
// and walks through all of its items: the document's example stays true.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/KalvorHostRun.h"
#include "support/PluginCopy.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

namespace {

// Every block fenced as "```sql" in the document, one after the other.
std::string SqlBlocksOf(const std::string& markdown) {
  const std::string open = "```sql\n";
  const std::string close = "\n```";
  std::string blocks;
  for (auto start = markdown.find(open); start != std::string::npos;
       start = markdown.find(open, start)) {
    start += open.size();
    const auto end = markdown.find(close, start);
    if (end == std::string::npos) break;
    blocks += markdown.substr(start, end - start) + "\n";
    start = end;
  }
  return blocks;
}

}  // namespace

TEST(MenuDatabaseDocTest, TheDocumentsOwnMenuPassesCheckAndWalks) {
  const std::string sql =
      SqlBlocksOf(ReadWholeFile(std::string(KALVOR_SOURCE_DIR) + "/docs/menu-database.md"));
  ASSERT_NE(sql.find("INSERT INTO MENUS"), std::string::npos) << "no sql block in the document";
  TestDatabase db;
  db.Execute(sql);
  PluginCopy plugin;
  plugin.WriteIni("[Main]\nDBName=" + db.ConnectionString() + "\nDBUser=" + TestDatabase::User() +
                  "\nDBPWD=" + TestDatabase::Password() + "\nLogLevel=1\n");

  const auto check = RunKalvorHost({"--plugin", plugin.LibraryPath(), "check", "7", "--strict"});
  EXPECT_EQ(check.ExitStatus, 0) << check.Output << check.Errors;
  EXPECT_NE(check.Output.find(" 0 errors"), std::string::npos) << check.Output;

  const auto walk = RunKalvorHost({"--plugin", plugin.LibraryPath(), "walk", "7"});
  EXPECT_EQ(walk.ExitStatus, 0) << walk.Output << walk.Errors;
  EXPECT_EQ(walk.Output.rfind("menu 7, start item 700\n", 0), 0u) << walk.Output;
  for (const std::string item : {"[700]", "[710]", "[720]", "[730]"})
    EXPECT_NE(walk.Output.find(item), std::string::npos) << item << " not walked:\n" << walk.Output;
}
