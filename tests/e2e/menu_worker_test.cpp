// The menu worker's start and stop as a host sees them, against the real server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/TestDatabase.h"
#include "tPluginHost.h"

namespace {
constexpr int Win1251Id = 52;

size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

bool AnyStartsWith(const std::vector<std::string>& lines, const std::string& start) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}

class MenuWorkerTest : public ::testing::Test {
 protected:
  std::string Ini(const std::string& extraLines, bool withUser = true) const {
    std::string ini = "[Main]\nDBName=" + Database.ConnectionString() + "\n";
    if (withUser) ini += "DBUser=" + TestDatabase::User() + "\n";
    return ini + extraLines + "LogLevel=1\n";
  }

  std::string OtherAttachments(const std::string& condition = "") const {
    return Database.QueryValue(
        "SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION "
        "AND MON$SYSTEM_FLAG = 0" +
        condition + ";");
  }

  TestDatabase Database;
  PluginCopy Plugin;
  LogTail Log{HostLogsFolder()};
};
}  // namespace

TEST_F(MenuWorkerTest, ConnectsOnceAtInitAndClosesAtFinalize) {
  Plugin.WriteIni(Ini("DBPWD=" + TestDatabase::Password() + "\n"));
  tPluginHost host(Plugin.LibraryPath());
  EXPECT_EQ(host.Init(), "DYNAMIC_MENU");
  // No lc_ctype key: the connection speaks WIN1251.
  EXPECT_EQ(OtherAttachments(" AND MON$CHARACTER_SET_ID = " + std::to_string(Win1251Id)), "1");
  host.Finalize();
  EXPECT_EQ(OtherAttachments(), "0");

  const auto lines = Log.MainMessages();
  for (const std::string& line :
       {std::string("Config settings read!"), std::string("Opening database connection"),
        "Connected to " + Database.ConnectionString() + " as SYSDBA",
        std::string("Init SUCCESS. Ready To Work"),
        std::string("Finalize Close Database connection."),
        std::string("=====   Initialize Plugin Worker Object (DYNAMIC_MENU)   ====="),
        std::string("Set LogLevel=1")})
    EXPECT_EQ(CountOf(lines, line), 1u) << line;
  EXPECT_FALSE(AnyStartsWith(lines, "No database connection!"));
}

TEST_F(MenuWorkerTest, MissingUserMakesNoAttempt) {
  Plugin.WriteIni(Ini("", false));
  tPluginHost host(Plugin.LibraryPath());
  host.Init();
  EXPECT_EQ(OtherAttachments(), "0");
  host.Finalize();
  const auto lines = Log.MainMessages();
  EXPECT_EQ(CountOf(lines, "Error: empty DB params DBName=\"" + Database.ConnectionString() +
                               "\" DBUser=\"\""),
            1u);
  EXPECT_FALSE(AnyStartsWith(lines, "Opening database connection"));
  EXPECT_FALSE(AnyStartsWith(lines, "Finalize Close Database connection."));
}

TEST_F(MenuWorkerTest, WrongPasswordLogsTheServersOwnText) {
  Plugin.WriteIni(Ini("DBPWD=not-the-password\nlc_ctype=WIN1251\n"));
  tPluginHost host(Plugin.LibraryPath());
  host.Init();
  host.Finalize();
  const auto lines = Log.MainMessages();
  const auto failure = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("Exception while initializing worker DYNAMIC_MENU: ", 0) == 0;
  });
  ASSERT_NE(failure, lines.end());
  EXPECT_NE(failure->find("user name and password are not defined"), std::string::npos) << *failure;
  EXPECT_FALSE(AnyStartsWith(lines, "Init SUCCESS"));
}

TEST_F(MenuWorkerTest, MissingConfigurationIsWrittenAndNothingIsConnected) {
  tPluginHost host(Plugin.LibraryPath());
  host.Init();
  host.Finalize();
  const auto lines = Log.MainMessages();
  EXPECT_EQ(CountOf(lines, "Missing config file \"" + Plugin.IniPath() + "\" - Status_Error"), 1u);
  EXPECT_FALSE(AnyStartsWith(lines, "Config settings read!"));
  EXPECT_EQ(OtherAttachments(), "0");
}

TEST_F(MenuWorkerTest, UnloadingWithoutFinalizeStillDetaches) {
  Plugin.WriteIni(Ini("DBPWD=" + TestDatabase::Password() + "\n"));
  auto host = std::make_unique<tPluginHost>(Plugin.LibraryPath());
  host->Init();
  EXPECT_EQ(OtherAttachments(), "1");
  host.reset();
  EXPECT_EQ(OtherAttachments(), "0");
  EXPECT_FALSE(AnyStartsWith(Log.MainMessages(), "Finalize Close Database connection."));
}

TEST_F(MenuWorkerTest, FinalizeRollsBackWhatAFailedCommandLeftOpen) {
  // The item step writes a row, then fails reading a column the procedure
  // lacks: its transaction stays open with the row in it.
  Database.Execute(R"(SET TERM ^ ;
ALTER PROCEDURE MENU_GET_ITEM (MENU_ITEM_ID INTEGER) RETURNS (WRONG_COLUMN INTEGER) AS
BEGIN
  INSERT INTO MENU_ACTIONS (SESSION_ID, ITEM_ID, ITEM_KEY) VALUES (-1, :MENU_ITEM_ID, 'left over');
  WRONG_COLUMN = 1;
  SUSPEND;
END^
SET TERM ; ^)");
  Plugin.WriteIni(Ini("DBPWD=" + TestDatabase::Password() + "\n"));
  tPluginHost host(Plugin.LibraryPath());
  host.Init();
  std::vector<uint8_t> request(60, 0);
  request[0] = 60;
  request[4] = 101;
  request[16] = 5;
  ASSERT_EQ(host.Command(1, request), 0);
  const auto answer = host.WaitAnswer(std::chrono::seconds(10));
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->Buffer.at(12), 1);
  host.Finalize();

  EXPECT_EQ(Database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS;"), "0");
  EXPECT_EQ(OtherAttachments(), "0");
  EXPECT_EQ(CountOf(Log.MainMessages(), "Finalize Close Database connection."), 1u);
}
