#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "DbTestFixture.h"
#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDBFailureKind.h"
#include "dynmenu/db/tFbClientApi.h"

namespace {

// Status codes that only the fake interpreter below knows.
constexpr ISC_STATUS kFirstText = 1001;
constexpr ISC_STATUS kSecondText = 1002;
constexpr ISC_STATUS kLineFedText = 1003;

ISC_STATUS FillStatus(ISC_STATUS* status, std::initializer_list<ISC_STATUS> codes) {
  ISC_STATUS* out = status;
  for (ISC_STATUS code : codes) {
    *out++ = isc_arg_gds;
    *out++ = code;
  }
  *out = isc_arg_end;
  return status[1];
}

ISC_LONG FakeInterpret(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** cursor) {
  const ISC_STATUS* entry = *cursor;
  if (entry[0] == isc_arg_end) return 0;
  const char* text = entry[1] == kFirstText    ? "first text"
                     : entry[1] == kSecondText ? "second text."
                                               : "text with its own line end\n";
  std::snprintf(buffer, size, "%s", text);
  *cursor = entry + 2;
  return static_cast<ISC_LONG>(std::strlen(buffer));
}

ISC_LONG FakeSqlCode(const ISC_STATUS*) {
  return -1;
}

ISC_STATUS AttachFailingWithTwoTexts(ISC_STATUS* status, short, const ISC_SCHAR*, isc_db_handle*,
                                     short, const ISC_SCHAR*) {
  return FillStatus(status, {kFirstText, kSecondText});
}

ISC_STATUS AttachFailingWithLineFeed(ISC_STATUS* status, short, const ISC_SCHAR*, isc_db_handle*,
                                     short, const ISC_SCHAR*) {
  return FillStatus(status, {kLineFedText, kSecondText});
}

ISC_STATUS CommitLosingTheNetwork(ISC_STATUS* status, isc_tr_handle*) {
  return FillStatus(status, {isc_network_error, isc_net_read_err});
}

ISC_STATUS CommitDeadlocked(ISC_STATUS* status, isc_tr_handle*) {
  return FillStatus(status, {isc_deadlock, isc_update_conflict});
}

ISC_STATUS RollbackCutOff(ISC_STATUS* status, isc_tr_handle*) {
  return FillStatus(status, {isc_att_shutdown});
}

ISC_STATUS DatabaseInfoFailing(ISC_STATUS* status, isc_db_handle*, short, const ISC_SCHAR*, short,
                               ISC_SCHAR*) {
  return FillStatus(status, {isc_network_error});
}

// Why a Firebird 4 server shut the attachment down: killed by an
// administrator, and the database shut.
ISC_STATUS AttachKilled(ISC_STATUS* status, short, const ISC_SCHAR*, isc_db_handle*, short,
                        const ISC_SCHAR*) {
  return FillStatus(status, {isc_att_shutdown, 335545130});
}

ISC_STATUS AttachShutDown(ISC_STATUS* status, short, const ISC_SCHAR*, isc_db_handle*, short,
                          const ISC_SCHAR*) {
  return FillStatus(status, {isc_att_shutdown, 335545132});
}

tFbClientApi FakeMessages(decltype(tFbClientApi::AttachDatabase) attach) {
  tFbClientApi api = DefaultFbClientApi();
  api.AttachDatabase = attach;
  api.Interpret = FakeInterpret;
  api.SqlCode = FakeSqlCode;
  return api;
}

std::string OpenError(tDBConnection& connection) {
  try {
    connection.Open();
  } catch (const tDBError& error) {
    return error.Message;
  }
  return "<no error>";
}

TEST(tFbStatusText, JoinsTextsWithCrLfAndDropsTheLastFullStop) {
  tDBConnection connection;
  connection.DatabaseName = "localhost:/nowhere.fdb";
  {
    const tFbClientApi api = FakeMessages(AttachFailingWithTwoTexts);
    tFbClientApiOverride fake(api);
    EXPECT_EQ(OpenError(connection), "first text\r\nsecond text");
  }
  {
    const tFbClientApi api = FakeMessages(AttachFailingWithLineFeed);
    tFbClientApiOverride fake(api);
    EXPECT_EQ(OpenError(connection), "text with its own line end\nsecond text");
  }
  EXPECT_EQ(&FbClientApi(), &DefaultFbClientApi());
  EXPECT_FALSE(connection.IsConnected());
}

// With the real client library's texts, 3.0's as 4.0's.
TEST(tFbStatusText, NamesFirebird4ShutdownReasonsAndKeepsThemALostConnection) {
  tDBConnection connection;
  connection.DatabaseName = "localhost:/nowhere.fdb";
  using tAttach = decltype(tFbClientApi::AttachDatabase);
  for (const auto& [attach, reason] :
       {std::pair<tAttach, const char*>{AttachKilled, "Killed by database administrator"},
        std::pair<tAttach, const char*>{AttachShutDown, "Database is shutdown"}}) {
    tFbClientApi api = DefaultFbClientApi();
    api.AttachDatabase = attach;
    tFbClientApiOverride fake(api);
    try {
      connection.Open();
      ADD_FAILURE() << "Open succeeded";
    } catch (const tDBError& error) {
      EXPECT_EQ(error.Message, std::string("connection shutdown\r\n") + reason);
      EXPECT_EQ(error.Kind, tDBFailureKind::ConnectionLoss);
    }
  }
}

using tFbClientApiFaultTest = DbTest;

// How many attachments this process holds on the server, seen from isql.
std::string OurAttachments(const TestDatabase& database) {
  return database.QueryValue("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$REMOTE_PID = " +
                             std::to_string(getpid()) + ";");
}

// The transaction lets its handle go; the attachment is its owner's to drop.
TEST_F(tFbClientApiFaultTest, CommitFailingWithNetworkErrorIsInDoubtAndLetsTheTransactionGo) {
  OpenSelect("MENU_GET_START_ITEM(1)");
  tFbClientApi api = DefaultFbClientApi();
  api.CommitTransaction = CommitLosingTheNetwork;
  tFbClientApiOverride fake(api);
  try {
    Transaction.Commit();
    FAIL() << "commit succeeded";
  } catch (const tDBError& error) {
    EXPECT_EQ(error.SqlCode, -902);
    EXPECT_EQ(error.StatusCode, isc_network_error);
    EXPECT_EQ(error.StatusCodes, (std::vector<intptr_t>{isc_network_error, isc_net_read_err}));
    EXPECT_TRUE(error.CommitOutcomeUnknown());
    EXPECT_NE(error.Message.find("Unable to complete network request"), std::string::npos)
        << error.Message;
  }
  EXPECT_FALSE(Transaction.InTransaction());
  EXPECT_TRUE(Connection.IsConnected());
  EXPECT_FALSE(Query->IsActive());
}

// A transaction that cannot be ended is let go, and its attachment, dropped
// as its owner drops it, really leaves the server: the server rolls back what
// it still held.
TEST_F(tFbClientApiFaultTest, AnyFailedEndLeavesNoTransactionAndNoAttachmentBehind) {
  const auto failedEnd = [&](auto&& end, decltype(tFbClientApi::CommitTransaction) fault,
                             bool commit, const std::string& key) {
    Connection.Open();
    Transaction.StartTransaction();
    Query->ClearText();
    Query->AddLine("execute procedure menu_prot_actions(11,1,\"" + key + "\")");
    Query->Open();
    tFbClientApi api = DefaultFbClientApi();
    (commit ? api.CommitTransaction : api.RollbackTransaction) = fault;
    tFbClientApiOverride fake(api);
    try {
      end();
      ADD_FAILURE() << "the end succeeded: " << key;
    } catch (const tDBError& error) {
      EXPECT_FALSE(error.CommitOutcomeUnknown()) << key;
    }
    EXPECT_FALSE(Transaction.InTransaction()) << key;
    Connection.ForceClose();
    EXPECT_FALSE(Connection.IsConnected()) << key;
  };
  failedEnd([&] { Transaction.Commit(); }, CommitDeadlocked, true, "commit");
  failedEnd([&] { Transaction.Rollback(); }, RollbackCutOff, false, "rollback");
  EXPECT_EQ(OurAttachments(Database), "0");
  EXPECT_EQ(Database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 11;"), "0");
}

// What to do with an attachment that does not answer is its owner's to decide.
TEST_F(tFbClientApiFaultTest, FailedProbeAnswersFalseWithoutRaising) {
  Connection.Open();
  Transaction.StartTransaction();
  tFbClientApi api = DefaultFbClientApi();
  api.DatabaseInfo = DatabaseInfoFailing;
  tFbClientApiOverride fake(api);
  EXPECT_FALSE(Connection.TestConnected());
  EXPECT_TRUE(Connection.IsConnected());
  EXPECT_TRUE(Transaction.InTransaction());
}

}  // namespace
