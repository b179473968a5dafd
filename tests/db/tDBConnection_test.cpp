#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "DbTestFixture.h"
#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDBFailureKind.h"
#include "support/PrivateFirebirdServer.h"

namespace {

using tDBConnectionTest = DbTest;

TEST_F(tDBConnectionTest, AttachesProbesAndDetaches) {
  EXPECT_FALSE(Connection.TestConnected());
  Connection.Open();
  EXPECT_TRUE(Connection.IsConnected());
  EXPECT_TRUE(Connection.TestConnected());
  Connection.Close();
  EXPECT_FALSE(Connection.IsConnected());
  EXPECT_FALSE(Connection.TestConnected());
  Connection.Close();
}

TEST_F(tDBConnectionTest, WrongPasswordIsRefusedWithTheServersWords) {
  Connection.Parameters.Password = "not-the-password";
  try {
    Connection.Open();
    FAIL() << "attached with a wrong password";
  } catch (const tDBError& error) {
    EXPECT_EQ(error.Message,
              "Your user name and password are not defined. Ask your database administrator to "
              "set up a Firebird login");
    EXPECT_EQ(error.StatusCode, 335544472);
  }
  EXPECT_FALSE(Connection.IsConnected());
}

// A Firebird 4 server says why after "connection shutdown", in a code the 3.0
// client library has no text for.
TEST_F(tDBConnectionTest, AnAttachmentTheAdministratorDeletedIsLostAndSaysWhy) {
  const bool firebird4 = Database.EngineVersion().starts_with("4.");
  Connection.Open();
  Transaction.StartTransaction();
  Database.Execute(
      "DELETE FROM MON$ATTACHMENTS WHERE MON$REMOTE_PID = " + std::to_string(getpid()) + ";");
  try {
    OpenSelect("MENU_GET_START_ITEM(1)");
    FAIL() << "a deleted attachment answered";
  } catch (const tDBError& error) {
    EXPECT_EQ(error.Message, firebird4 ? "connection shutdown\r\nKilled by database administrator"
                                       : "connection shutdown");
    EXPECT_EQ(error.Kind, tDBFailureKind::ConnectionLoss);
  }
}

TEST_F(tDBConnectionTest, TransactionChecksItsPreconditions) {
  auto expectMessage = [](auto&& action, const std::string& message) {
    try {
      action();
      ADD_FAILURE() << "no error, expected: " << message;
    } catch (const tDBError& error) {
      EXPECT_EQ(error.Message, message);
    }
  };
  expectMessage([&] { Transaction.StartTransaction(); },
                "Cannot perform operation -- DB is not open");
  Connection.Open();
  expectMessage([&] { Transaction.Commit(); }, "Transaction is not active");
  expectMessage([&] { Transaction.Rollback(); }, "Transaction is not active");
  Transaction.StartTransaction();
  EXPECT_TRUE(Transaction.InTransaction());
  expectMessage([&] { Transaction.StartTransaction(); }, "Transaction is active");
  Transaction.Commit();
  EXPECT_FALSE(Transaction.InTransaction());
}

TEST_F(tDBConnectionTest, CloseCommitsTheActiveTransactionAndClosesTheResult) {
  Connection.Open();
  Transaction.StartTransaction();
  Query->AddLine("execute procedure menu_prot_actions(3,4,\"k\")");
  Query->Open();
  Connection.Close();
  EXPECT_FALSE(Query->IsActive());
  EXPECT_FALSE(Transaction.InTransaction());
  EXPECT_FALSE(Connection.IsConnected());
  EXPECT_EQ(Database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 3;"), "1");
}

TEST_F(tDBConnectionTest, DestroyingAnActiveTransactionCommitsIt) {
  Connection.Open();
  {
    tDBTransaction second(Connection);
    second.StartTransaction();
    tDBQuery bound(Connection, second);
    bound.AddLine("execute procedure menu_prot_actions(5,6,\"k\")");
    bound.Open();
  }
  EXPECT_EQ(Database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 5;"), "1");
}

// The database on a server of the test's own, to stop and start at will.
class tDBConnectionServerTest : protected PrivateServerFirst, public DbTest {
 protected:
  tDBConnectionServerTest() : DbTest(Server.Host()) {}
};

TEST_F(tDBConnectionServerTest, ProbeAfterServerStopAnswersFalseAndAttachWorksOnceItIsBack) {
  Connection.Open();
  Transaction.StartTransaction();
  ASSERT_TRUE(Connection.TestConnected());

  Server.Stop();
  EXPECT_FALSE(Connection.TestConnected());
  // As its owner drops an attachment that does not answer.
  Connection.ForceClose();
  EXPECT_FALSE(Connection.IsConnected());
  EXPECT_FALSE(Transaction.InTransaction());
  try {
    Connection.Open();
    FAIL() << "attached without a server";
  } catch (const tDBError& error) {
    EXPECT_NE(error.Message.find("Unable to complete network request"), std::string::npos)
        << error.Message;
  }

  Server.Start();
  Connection.Open();
  EXPECT_TRUE(Connection.TestConnected());
  OpenSelect("MENU_GET_START_ITEM(1)");
  EXPECT_TRUE(Query->Eof());
}

}  // namespace
