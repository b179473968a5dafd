// Running a statement with reconnection and retries, against the real server
// and with faults the server cannot produce on demand.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <regex>
#include <thread>

#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/uIBDynSrvWorker.h"
#include "support/FirebirdServer.h"
#include "support/LogTail.h"
#include "support/TestDatabase.h"

using namespace std::chrono_literals;

namespace {
const std::string DeadlockPause = "Pausing before retrying query due to deadlock for ";
const std::string ConnectionPause = "Pausing before retrying query due to connection loss for ";

std::vector<std::string> LinesStartingWith(const LogTail& log, const std::string& start) {
  std::vector<std::string> found;
  for (const auto& line : log.MainMessages())
    if (line.rfind(start, 0) == 0) found.push_back(line);
  return found;
}

// Every pause line names a pause of 20 to 299 ms.
void ExpectPausesInRange(const std::vector<std::string>& lines) {
  const std::regex pause(".* for ([0-9]+) ms\\.\\.\\.$");
  for (const auto& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, pause)) << line;
    const int ms = std::stoi(match[1]);
    EXPECT_GE(ms, 20);
    EXPECT_LE(ms, 299);
  }
}

class QueryExecutionTest : public ::testing::Test {
 protected:
  QueryExecutionTest() {
    Worker.Database->DatabaseName = Database.ConnectionString();
    Worker.Database->SetParam("user_name", TestDatabase::User());
    Worker.Database->SetParam("password", TestDatabase::Password());
    Worker.Database->SetParam("lc_ctype", "WIN1251");
    Database.Execute("INSERT INTO MENUS (MENU_ID, ITEM_START_ID) VALUES (1, 10);");
  }

  void SetStatement(const std::string& first, const std::string& second = "") {
    Worker.Query->ClearText();
    Worker.Query->AddLine(first);
    if (!second.empty()) Worker.Query->AddLine(second);
  }

  TestDatabase Database;
  tIB_DynMenuWorker Worker;
};
}  // namespace

TEST_F(QueryExecutionTest, ConnectsOnFirstUseAndLeavesTheQueryOpenInATransaction) {
  LogTail log(HostLogsFolder());
  SetStatement("select *", "from MENU_GET_START_ITEM(1)");
  std::string error = "stale";
  ASSERT_TRUE(Worker.ExecuteQuery(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(Worker.RetryCount, 0);
  EXPECT_TRUE(Worker.Transaction->InTransaction());
  EXPECT_EQ(Worker.Query->FieldByName("ITEM_START_ID").AsInteger(), 10);
  Worker.FinishQuery();
  EXPECT_FALSE(Worker.Transaction->InTransaction());
  EXPECT_FALSE(Worker.Query->IsActive());
  Worker.FinishQuery();

  const auto messages = log.MainMessages();
  // A configured name without an attachment counts as a lost connection.
  const std::vector<std::string> expected = {
      "No database connection!", "Connecting to " + Database.ConnectionString(),
      "Database " + Database.ConnectionString() + " connected"};
  EXPECT_EQ(messages, expected);
}

TEST_F(QueryExecutionTest, UnknownProcedureFailsAtOnceWithTheStatementAndTheServersText) {
  LogTail log(HostLogsFolder());
  SetStatement("select *", "from NO_SUCH_PROCEDURE(1)");
  std::string error;
  EXPECT_FALSE(Worker.ExecuteQuery(error));
  EXPECT_EQ(error.rfind("Exception while processing IB SQL Query=\"select *\r\nfrom "
                        "NO_SUCH_PROCEDURE(1)\r\n\" Msg=\"",
                        0),
            0u)
      << error;
  EXPECT_NE(error.find("NO_SUCH_PROCEDURE"), std::string::npos);
  EXPECT_EQ(error.back(), '"');
  EXPECT_TRUE(LinesStartingWith(log, "Pausing").empty());
  EXPECT_EQ(Worker.RetryCount, 0);
}

TEST_F(QueryExecutionTest, NoDatabaseNameFailsAtOnce) {
  LogTail log(HostLogsFolder());
  Worker.Database->DatabaseName.clear();
  SetStatement("select *", "from MENU_GET_START_ITEM(1)");
  std::string error;
  EXPECT_FALSE(Worker.ExecuteQuery(error));
  EXPECT_NE(error.find("Msg=\"Database name is missing\""), std::string::npos) << error;
  const std::vector<std::string> expected = {"Connecting to "};
  EXPECT_EQ(log.MainMessages(), expected);
}

TEST_F(QueryExecutionTest, RealUpdateConflictIsRetriedAfterADeadlockPause) {
  Database.Execute(
      "CREATE TABLE HELD_ROWS (ID INTEGER NOT NULL PRIMARY KEY, N INTEGER);"
      "INSERT INTO HELD_ROWS VALUES (7, 0);");
  tDBConnection other;
  other.DatabaseName = Database.ConnectionString();
  other.SetParam("user_name", TestDatabase::User());
  other.SetParam("password", TestDatabase::Password());
  tDBTransaction otherTransaction(other);
  other.DefaultTransaction = &otherTransaction;
  tDBQuery otherQuery(other);
  other.Open();
  otherTransaction.StartTransaction();
  otherQuery.AddLine("update HELD_ROWS set N = 100 where ID = 7");
  otherQuery.Open();

  std::string warmUp;
  SetStatement("select *", "from MENU_GET_START_ITEM(1)");
  ASSERT_TRUE(Worker.ExecuteQuery(warmUp));
  Worker.FinishQuery();

  LogTail log(HostLogsFolder());
  SetStatement("update HELD_ROWS set N = N + 1 where ID = 7");
  std::string error;
  auto running = std::async(std::launch::async, [&] { return Worker.ExecuteQuery(error); });
  // The statement waits on the row lock until the other transaction ends.
  EXPECT_EQ(running.wait_for(500ms), std::future_status::timeout);
  otherTransaction.Commit();
  ASSERT_TRUE(running.get()) << error;
  Worker.FinishQuery();

  const auto pauses = LinesStartingWith(log, DeadlockPause);
  EXPECT_EQ(pauses.size(), 1u);
  ExpectPausesInRange(pauses);
  EXPECT_EQ(Database.QueryValue("SELECT N FROM HELD_ROWS WHERE ID = 7;"), "101");
}

TEST_F(QueryExecutionTest, LostServerIsRetriedTenTimesThenReconnectsWhenBack) {
  FirebirdServerRestorer restore;
  SetStatement("select *", "from MENU_GET_START_ITEM(1)");
  std::string error;
  ASSERT_TRUE(Worker.ExecuteQuery(error));
  Worker.FinishQuery();

  FirebirdServer::Stop();
  LogTail down(HostLogsFolder());
  EXPECT_FALSE(Worker.ExecuteQuery(error));
  EXPECT_EQ(Worker.RetryCount, 0);
  EXPECT_EQ(LinesStartingWith(down, "No database connection!").size(), 10u);
  EXPECT_EQ(LinesStartingWith(down, "Connecting to " + Database.ConnectionString()).size(), 10u);
  const auto pauses = LinesStartingWith(down, ConnectionPause);
  EXPECT_EQ(pauses.size(), 9u);
  ExpectPausesInRange(pauses);
  EXPECT_EQ(error.rfind("Exception while processing IB SQL Query=", 0), 0u);

  FirebirdServer::Start();
  LogTail up(HostLogsFolder());
  ASSERT_TRUE(Worker.ExecuteQuery(error)) << error;
  Worker.FinishQuery();
  const std::vector<std::string> expected = {
      "No database connection!", "Connecting to " + Database.ConnectionString(),
      "Database " + Database.ConnectionString() + " connected"};
  EXPECT_EQ(up.MainMessages(), expected);
}

namespace {
// Prepares fail with scripted status vectors; the rest is the real client library.
struct ScriptedFaults {
  static inline std::vector<std::vector<ISC_STATUS>> Failures;
  static inline std::atomic<int> Prepares{0};
  static inline bool FailDetach = false;

  static ISC_STATUS Prepare(ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short length,
                            const ISC_SCHAR* text, unsigned short dialect, XSQLDA* area) {
    const size_t index = static_cast<size_t>(Prepares++);
    if (index < Failures.size()) return Fail(status, Failures[index]);
    return DefaultFbClientApi().DsqlPrepare(status, transaction, statement, length, text, dialect,
                                            area);
  }

  static ISC_STATUS Detach(ISC_STATUS* status, isc_db_handle* database) {
    if (FailDetach) return Fail(status, Random("Error writing data to the connection. 10054"));
    return DefaultFbClientApi().DetachDatabase(status, database);
  }

  static ISC_STATUS Fail(ISC_STATUS* status, const std::vector<ISC_STATUS>& vector) {
    std::copy(vector.begin(), vector.end(), status);
    return status[1];
  }

  // A status vector that the client library renders as exactly text.
  static std::vector<ISC_STATUS> Random(const char* text) {
    return {isc_arg_gds, isc_random, isc_arg_string, reinterpret_cast<ISC_STATUS>(text),
            isc_arg_end};
  }

  static tFbClientApi Table() {
    tFbClientApi api = DefaultFbClientApi();
    api.DsqlPrepare = &Prepare;
    api.DetachDatabase = &Detach;
    return api;
  }
};

class InjectedFaultTest : public QueryExecutionTest {
 protected:
  InjectedFaultTest() {
    ScriptedFaults::Failures.clear();
    ScriptedFaults::Prepares = 0;
    ScriptedFaults::FailDetach = false;
    SetStatement("select *", "from MENU_GET_START_ITEM(1)");
  }
  tFbClientApi Api = ScriptedFaults::Table();
  tFbClientApiOverride Override{Api};
};

const std::vector<ISC_STATUS> Deadlock = {isc_arg_gds, isc_deadlock, isc_arg_end};
}  // namespace

TEST_F(InjectedFaultTest, TenDeadlocksGiveTenAttemptsAndNinePauses) {
  ScriptedFaults::Failures.assign(10, Deadlock);
  LogTail log(HostLogsFolder());
  std::string error;
  EXPECT_FALSE(Worker.ExecuteQuery(error));
  EXPECT_EQ(ScriptedFaults::Prepares.load(), 10);
  EXPECT_EQ(Worker.RetryCount, 0);
  const auto pauses = LinesStartingWith(log, DeadlockPause);
  EXPECT_EQ(pauses.size(), 9u);
  ExpectPausesInRange(pauses);
  EXPECT_NE(error.find("Msg=\"deadlock\""), std::string::npos) << error;
  EXPECT_FALSE(Worker.Transaction->InTransaction());
}

TEST_F(InjectedFaultTest, DeadlockThenSuccessAndCapitalisedDeadlockAreRetried) {
  ScriptedFaults::Failures = {Deadlock, ScriptedFaults::Random("Lock conflict: DEADLOCK detected")};
  LogTail log(HostLogsFolder());
  std::string error;
  ASSERT_TRUE(Worker.ExecuteQuery(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(ScriptedFaults::Prepares.load(), 3);
  EXPECT_EQ(LinesStartingWith(log, DeadlockPause).size(), 2u);
  EXPECT_EQ(Worker.Query->FieldByName("ITEM_START_ID").AsInteger(), 10);
  Worker.FinishQuery();
}

TEST_F(InjectedFaultTest, NetworkTextsAreRetriedAsConnectionLossAndOthersAreNot) {
  ScriptedFaults::Failures = {ScriptedFaults::Random("Unable to complete network request to host"),
                              ScriptedFaults::Random("Connection lost to database"),
                              ScriptedFaults::Random("arithmetic overflow")};
  LogTail log(HostLogsFolder());
  std::string error;
  EXPECT_FALSE(Worker.ExecuteQuery(error));
  EXPECT_EQ(ScriptedFaults::Prepares.load(), 3);
  EXPECT_EQ(LinesStartingWith(log, ConnectionPause).size(), 2u);
  EXPECT_TRUE(LinesStartingWith(log, DeadlockPause).empty());
  EXPECT_NE(error.find("Msg=\"arithmetic overflow\""), std::string::npos) << error;
}

// The status vectors the client library returned under real faults: a server
// killed (read, write), killed during a connect (rejected), starting up (login),
// an attachment deleted or shut down, a database shut down.
TEST_F(InjectedFaultTest, LostConnectionCodesAreRetriedWhateverTheirText) {
  static const char kPath[] = "/var/lib/firebird/menu.fdb";
  const std::vector<std::vector<ISC_STATUS>> lost = {
      {isc_arg_gds, isc_net_read_err, isc_arg_end},
      {isc_arg_gds, isc_net_write_err, isc_arg_end},
      {isc_arg_gds, isc_connect_reject, isc_arg_end},
      {isc_arg_gds, isc_login_error, isc_arg_end},
      {isc_arg_gds, isc_att_shutdown, isc_arg_end},
      {isc_arg_gds, isc_shutdown, isc_arg_string, reinterpret_cast<ISC_STATUS>(kPath), isc_arg_end},
  };
  for (const auto& vector : lost) {
    ScriptedFaults::Failures = {vector};
    ScriptedFaults::Prepares = 0;
    LogTail log(HostLogsFolder());
    std::string error;
    EXPECT_TRUE(Worker.ExecuteQuery(error)) << error;
    EXPECT_EQ(LinesStartingWith(log, ConnectionPause).size(), 1u) << vector[1];
    EXPECT_EQ(ScriptedFaults::Prepares.load(), 2) << vector[1];
    Worker.FinishQuery();
  }
}

TEST_F(InjectedFaultTest, ResetConnectionIsClosedAndAFailingCloseReachesTheCaller) {
  ScriptedFaults::Failures = {
      ScriptedFaults::Random("Error reading data from the connection. 10054")};
  std::string error;
  EXPECT_FALSE(Worker.ExecuteQuery(error));
  EXPECT_FALSE(Worker.Database->IsConnected());
  EXPECT_EQ(ScriptedFaults::Prepares.load(), 1);

  ScriptedFaults::Failures.push_back(
      ScriptedFaults::Random("Error reading data from the connection. 10054"));
  ScriptedFaults::FailDetach = true;
  EXPECT_THROW(Worker.ExecuteQuery(error), tDBError);
  EXPECT_FALSE(Worker.Database->IsConnected());
  EXPECT_NE(error.find("10054"), std::string::npos);
}
