// How the plugin uses its menu database, as a host and the server see it:
// each statement prepared once per attachment, reads that see what other
// connections committed at once without holding back the server's garbage
// collection, a server restarted between two commands costing no retry, and
// keys recorded as the exact bytes the host sent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/CommandBuffers.h"
#include "support/PrivateFirebirdServer.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/TestDatabase.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
constexpr auto Patience = 60s;

class MenuDatabaseTest : public ::testing::Test {
 protected:
  explicit MenuDatabaseTest(const std::string& host = TestDatabase::ServerUnderTest()) : Db(host) {}

  void SetUp() override {
    Db.RunScript(std::string(KALVOR_SOURCE_DIR) + "/sql/demo-data.sql");
    Plugin.WriteIni("[Main]\nDBName=" + Db.ConnectionString() + "\nDBUser=" + TestDatabase::User() +
                    "\nDBPWD=" + TestDatabase::Password() + "\nLogLevel=1\n");
    Host = std::make_unique<tPluginHost>(Plugin.LibraryPath());
    Host->Init();
  }

  void TearDown() override { Host->Finalize(); }

  tAnswer Ask(const std::vector<uint8_t>& request) {
    EXPECT_EQ(Host->Command(SignedWordAt(request, 4), request), 0);
    auto answer = Host->WaitAnswer(Patience);
    if (!answer) {
      ADD_FAILURE() << "no answer";
      return {};
    }
    EXPECT_EQ(SignedWordAt(answer->Buffer, 12), 0) << "command " << SignedWordAt(request, 4);
    return *answer;
  }

  int32_t StartItem(int32_t menu) { return SignedWordAt(Ask(StartItemRequest(menu)).Buffer, 20); }

  // One command of each kind, the item with parameters and connection rows.
  void AskOneOfEach(const std::string& key) {
    EXPECT_EQ(StartItem(1), 10);
    Ask(ItemDescRequest(10));
    Ask(ItemDescRequest(30));
    Ask(ActionRequest(1, 10, key));
  }

  std::string OurAttachment() const { return std::to_string(getpid()); }

  // Statements the server holds for this process's attachment.
  std::string PreparedStatements() const {
    return Db.QueryValue(
        "SELECT COUNT(*) FROM MON$STATEMENTS S JOIN MON$ATTACHMENTS A ON A.MON$ATTACHMENT_ID = "
        "S.MON$ATTACHMENT_ID WHERE A.MON$REMOTE_PID = " +
        OurAttachment() + ";");
  }

  TestDatabase Db;
  PluginCopy Plugin;
  std::unique_ptr<tPluginHost> Host;
};
}  // namespace

TEST_F(MenuDatabaseTest, StatementsArePreparedOnceAndReadsSeeOtherConnectionsCommitsAtOnce) {
  AskOneOfEach("first");
  // Start item, item, voice and condition parameters, connection rows, action.
  EXPECT_EQ(PreparedStatements(), "6");
  for (int round = 0; round < 5; ++round) AskOneOfEach("round " + std::to_string(round));
  EXPECT_EQ(PreparedStatements(), "6");

  // A change committed by another connection is read by the very next command.
  Db.Execute("UPDATE MENUS SET ITEM_START_ID = 20 WHERE MENU_ID = 1;");
  EXPECT_EQ(StartItem(1), 20);
  Db.Execute("UPDATE MENUS SET ITEM_START_ID = 30 WHERE MENU_ID = 1;");
  EXPECT_EQ(StartItem(1), 30);
  Db.Execute("UPDATE MENU_ITEMS SET MENU_ITEM_NAME = 'renamed' WHERE MENU_ITEM_ID = 30;");
  const tAnswer item = Ask(ItemDescRequest(30));
  const uint32_t nameOffset = WordAt(item.Buffer, 32);
  EXPECT_EQ(std::string(item.Buffer.begin() + nameOffset,
                        item.Buffer.begin() + nameOffset + WordAt(item.Buffer, 36)),
            "renamed");
  EXPECT_EQ(Db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 1;"), "6");
}

namespace {
// A transaction another connection commits; its number.
int64_t CommitElsewhere(const TestDatabase& db) {
  return std::stoll(db.QueryValue("SELECT CURRENT_TRANSACTION FROM RDB$DATABASE;"));
}

// Whether the oldest snapshot the server keeps record versions for passes
// transaction within the patience given.
bool OldestSnapshotPasses(const TestDatabase& db, int64_t transaction,
                          std::chrono::milliseconds patience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  do {
    if (std::stoll(db.QueryValue("SELECT MON$OLDEST_SNAPSHOT FROM MON$DATABASE;")) > transaction)
      return true;
    std::this_thread::sleep_for(100ms);
  } while (std::chrono::steady_clock::now() < end);
  return false;
}
}  // namespace

// Firebird 4 keeps a snapshot for a read-committed transaction: the reads'
// transaction is ended soon after the commands that use it, whether they go
// on or stop, so it holds back the server's garbage collection no longer.
TEST_F(MenuDatabaseTest, TheOldestSnapshotAdvancesWhileThePluginServesAndWhileItIdles) {
  AskOneOfEach("first");
  const int64_t whileServing = CommitElsewhere(Db);
  const auto servingEnds = std::chrono::steady_clock::now() + 3s;
  bool passedWhileServing = false;
  while (!passedWhileServing && std::chrono::steady_clock::now() < servingEnds) {
    EXPECT_EQ(StartItem(1), 10);
    passedWhileServing = OldestSnapshotPasses(Db, whileServing, 0ms);
  }
  EXPECT_TRUE(passedWhileServing) << "transaction " << whileServing;

  AskOneOfEach("last");
  const int64_t afterLast = CommitElsewhere(Db);
  EXPECT_TRUE(OldestSnapshotPasses(Db, afterLast, 10s)) << "transaction " << afterLast;
}

// A shop's procedures may return Firebird 4's types; the plugin asks for
// their legacy forms, which are the types a Firebird 3 procedure returns.
TEST_F(MenuDatabaseTest, AProcedureReturningFirebird4TypesIsAnswered) {
  const bool firebird4 = Db.EngineVersion().starts_with("4.");
  const std::string wide = firebird4 ? "INT128" : "NUMERIC(15, 0)";
  const std::string decimal = firebird4 ? "DECFLOAT(34)" : "DOUBLE PRECISION";
  const std::string zoned = firebird4 ? "TIMESTAMP WITH TIME ZONE" : "TIMESTAMP";
  Db.Execute(
      "SET TERM ^ ;\nALTER PROCEDURE MENU_GET_START_ITEM (MENU_ID INTEGER) RETURNS "
      "(ITEM_START_ID " +
      wide + ", WEIGHT " + decimal + ", CHANGED_AT " + zoned +
      ") AS BEGIN ITEM_START_ID = MENU_ID * 7; WEIGHT = 1.5; CHANGED_AT = "
      "CURRENT_TIMESTAMP; SUSPEND; END^\nSET TERM ; ^");
  EXPECT_EQ(StartItem(3), 21);
}

// The database on a server of the test's own, to restart at will.
class MenuServerRestartTest : protected PrivateServerFirst, public MenuDatabaseTest {
 protected:
  MenuServerRestartTest() : MenuDatabaseTest(Server.Host()) {}
};

TEST_F(MenuServerRestartTest, AServerRestartedBetweenCommandsCostsNoRetryAndKeysKeepEveryByte) {
  AskOneOfEach("before");
  Server.Stop();
  Server.Start();

  LogTail log(HostLogsFolder());
  EXPECT_EQ(StartItem(1), 10);
  const auto lines = log.MainMessages();
  ASSERT_GE(lines.size(), 5u);
  const std::vector<std::string> reconnected = {
      "--New Operation was complete started-->", "No database connection!",
      "Connecting to " + Db.ConnectionString(), "Database " + Db.ConnectionString() + " connected"};
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4), reconnected);
  EXPECT_NE(lines[4].find("GetStartMenuItem(MENU_GET_START_ITEM) IN[menu_id=1] "
                          "OUT[menu_start_itemid=10]- SUCCESS"),
            std::string::npos)
      << lines[4];

  // A NUL byte no longer cuts the key short; quotes need no escaping.
  const std::string key = std::string("1\0\"'2", 5);
  Ask(ActionRequest(9, 10, key));
  EXPECT_EQ(Db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 9 AND ITEM_KEY = "
                          "'1' || ASCII_CHAR(0) || '\"''2' AND OCTET_LENGTH(ITEM_KEY) = 5;"),
            "1");
  EXPECT_EQ(log.MainText().find("Pausing before retrying query"), std::string::npos);
}
