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
#include "dynmenu/uMenuDatabase.h"
#include "dynmenu/uQueryFailed.h"
#include "log/tPlugInLog.h"
#include "support/LogTail.h"
#include "support/PrivateFirebirdServer.h"
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

// Every pause line names a pause of 20 to 299 ms and quotes the server's own
// words about the failure, on the same line.
void ExpectPausesInRange(const std::vector<std::string>& lines) {
  const std::regex pause(".* for ([0-9]+) ms\\.\\.\\. Msg=\"(.+)\"$");
  for (const auto& line : lines) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match, pause)) << line;
    const int ms = std::stoi(match[1]);
    EXPECT_GE(ms, 20);
    EXPECT_LE(ms, 299);
  }
}

// Menu -1 has no start item: the procedure refuses it with an exception.
const char* const RefusingStartItem = R"(CREATE EXCEPTION MENU_REFUSED 'menu refused';
SET TERM ^ ;
ALTER PROCEDURE MENU_GET_START_ITEM (MENU_ID INTEGER) RETURNS (ITEM_START_ID INTEGER) AS
BEGIN
  IF (MENU_ID < 0) THEN EXCEPTION MENU_REFUSED;
  ITEM_START_ID = 10;
  SUSPEND;
END^
SET TERM ; ^)";

tMenuDatabaseSettings SettingsFor(const TestDatabase& database) {
  return {.DatabaseName = database.ConnectionString(),
          .User = TestDatabase::User(),
          .Password = TestDatabase::Password(),
          .Charset = "WIN1251"};
}

class QueryExecutionTest : public ::testing::Test {
 protected:
  explicit QueryExecutionTest(const std::string& host = TestDatabase::ServerUnderTest())
      : Database(host) {
    Database.Execute("INSERT INTO MENUS (MENU_ID, ITEM_START_ID) VALUES (1, 10);");
  }

  // The start item of a menu through the door: true with StartItem set, or
  // false with the failure text in error.
  bool ReadStart(std::string& error, int32_t menu = 1) {
    return Run(error, [&] {
      const auto rows = MenuDb.Read(tMenuStatement::StartItem, {menu});
      StartItem = rows.empty() ? -1 : rows.front().Integer("ITEM_START_ID").value_or(-1);
    });
  }

  bool Record(std::string& error, int32_t sessionId) {
    return Run(error, [&] { MenuDb.Record(sessionId, 1, "k"); });
  }

  template <typename tStep>
  bool Run(std::string& error, tStep step) {
    error.clear();
    try {
      step();
      return true;
    } catch (const tQueryFailed& failure) {
      error = failure.what();
      return false;
    }
  }

  TestDatabase Database;
  std::unique_ptr<tPlugInLog> Log = tPlugInLog::OpenBesideHost();
  tHourlyFigures Figures;
  tMenuDatabase MenuDb{*Log, Figures, SettingsFor(Database)};
  int32_t StartItem = -1;
};
}  // namespace

TEST_F(QueryExecutionTest, ConnectsOnFirstUseAndLeavesNothingOpen) {
  LogTail log(HostLogsFolder());
  std::string error = "stale";
  ASSERT_TRUE(ReadStart(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(StartItem, 10);
  EXPECT_FALSE(MenuDb.BeginCommand());

  const auto messages = log.MainMessages();
  // A configured name without an attachment counts as a lost connection.
  const std::vector<std::string> expected = {
      "No database connection!", "Connecting to " + Database.ConnectionString(),
      "Database " + Database.ConnectionString() + " connected"};
  EXPECT_EQ(messages, expected);
}

// The statement sent has a "?" for the menu; the error text shows it with its value.
TEST_F(QueryExecutionTest, AnErrorOfTheProcedureFailsAtOnceWithTheStatementAndTheServersText) {
  Database.Execute(RefusingStartItem);
  LogTail log(HostLogsFolder());
  std::string error;
  EXPECT_FALSE(ReadStart(error, -1));
  EXPECT_EQ(error.rfind("Exception while processing IB SQL Query=\"select *\r\nfrom "
                        "MENU_GET_START_ITEM(-1)\r\n\" Msg=\"",
                        0),
            0u)
      << error;
  EXPECT_NE(error.find("menu refused"), std::string::npos);
  EXPECT_EQ(error.back(), '"');
  EXPECT_TRUE(LinesStartingWith(log, "Pausing").empty());
  EXPECT_FALSE(MenuDb.BeginCommand());

  // The attachment and the prepared statement serve the next value.
  ASSERT_TRUE(ReadStart(error)) << error;
  EXPECT_EQ(StartItem, 10);
}

TEST_F(QueryExecutionTest, NoDatabaseNameFailsAtOnce) {
  LogTail log(HostLogsFolder());
  tMenuDatabase unnamed(*Log, Figures, {});
  std::string error;
  EXPECT_FALSE(Run(error, [&] { unnamed.Read(tMenuStatement::StartItem, {1}); }));
  EXPECT_NE(error.find("Msg=\"Database name is missing\""), std::string::npos) << error;
  const std::vector<std::string> messages = log.MainMessages();
  ASSERT_EQ(messages.size(), 2u) << log.MainText();
  EXPECT_EQ(messages[0], "Connecting to ");
  EXPECT_TRUE(std::regex_match(
      messages[1], std::regex("Database unreachable since [0-9:]{8}: Database name is missing")))
      << messages[1];
}

TEST_F(QueryExecutionTest, RealUpdateConflictIsRetriedAfterADeadlockPause) {
  // The action procedure also updates a row that another connection holds.
  Database.Execute(R"(CREATE TABLE HELD_ROWS (ID INTEGER NOT NULL PRIMARY KEY, N INTEGER);
INSERT INTO HELD_ROWS VALUES (7, 0);
SET TERM ^ ;
ALTER PROCEDURE MENU_PROT_ACTIONS (SESSION_ID INTEGER, ITEM_ID INTEGER, ITEM_KEY VARCHAR(1000))
AS
BEGIN
  UPDATE HELD_ROWS SET N = N + 1 WHERE ID = :SESSION_ID;
END^
SET TERM ; ^)");
  tDBConnection other;
  other.DatabaseName = Database.ConnectionString();
  other.Parameters.User = TestDatabase::User();
  other.Parameters.Password = TestDatabase::Password();
  tDBTransaction otherTransaction(other);
  tDBQuery otherQuery(other, otherTransaction);
  other.Open();
  otherTransaction.StartTransaction();
  otherQuery.AddLine("update HELD_ROWS set N = 100 where ID = 7");
  otherQuery.Open();

  std::string warmUp;
  ASSERT_TRUE(ReadStart(warmUp));

  LogTail log(HostLogsFolder());
  std::string error;
  auto running = std::async(std::launch::async, [&] { return Record(error, 7); });
  // The statement waits on the row lock until the other transaction ends.
  EXPECT_EQ(running.wait_for(500ms), std::future_status::timeout);
  otherTransaction.Commit();
  ASSERT_TRUE(running.get()) << error;

  const auto pauses = LinesStartingWith(log, DeadlockPause);
  EXPECT_EQ(pauses.size(), 1u);
  ExpectPausesInRange(pauses);
  EXPECT_EQ(Database.QueryValue("SELECT N FROM HELD_ROWS WHERE ID = 7;"), "101");
}

// The database on a server of the test's own, to stop and start at will.
class LostServerTest : protected PrivateServerFirst, public QueryExecutionTest {
 protected:
  LostServerTest() : QueryExecutionTest(Server.Host()) {}
};

// Once a command's ten attempts found no server, later commands fail at once
// without attaching while one probe at a time tries the server, at intervals
// that grow from 0.2-0.3 s to 0.8-1.2 s; the first probe that attaches lets
// commands attach again.
TEST_F(LostServerTest, LostServerIsRetriedTenTimesThenProbedUntilItIsBack) {
  std::string error;
  ASSERT_TRUE(ReadStart(error));

  Server.Stop();
  LogTail down(HostLogsFolder());
  EXPECT_FALSE(ReadStart(error));
  EXPECT_EQ(LinesStartingWith(down, "No database connection!").size(), 10u);
  const auto pauses = LinesStartingWith(down, ConnectionPause);
  EXPECT_EQ(pauses.size(), 9u);
  ExpectPausesInRange(pauses);
  EXPECT_EQ(error.rfind("Exception while processing IB SQL Query=", 0), 0u);
  EXPECT_EQ(LinesStartingWith(down, "Database unreachable since ").size(), 1u)
      << "one outage, however many attaches fail";
  EXPECT_EQ(LinesStartingWith(down,
                              "The server is not reached: commands fail at once while one "
                              "attach at a time probes it")
                .size(),
            1u);

  const auto gone = std::chrono::steady_clock::now();
  for (int read = 0; read < 20; ++read) {
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadStart(error));
    EXPECT_LT(std::chrono::steady_clock::now() - asked, 100ms) << error;
    EXPECT_NE(error.find("commands fail at once while it is probed, the next probe in "),
              std::string::npos)
        << error;
    std::this_thread::sleep_for(150ms);
  }
  EXPECT_EQ(LinesStartingWith(down, "Connecting to " + Database.ConnectionString()).size(), 10u);

  Server.Start();
  const auto back = std::chrono::steady_clock::now();
  std::vector<std::string> reached;
  while (reached.empty() && std::chrono::steady_clock::now() - back < 10s) {
    std::this_thread::sleep_for(20ms);
    reached = LinesStartingWith(down, "The server was reached by probe ");
  }
  ASSERT_EQ(reached.size(), 1u) << "no probe reached the server";
  EXPECT_LT(std::chrono::steady_clock::now() - back, 1500ms) << "within the ceiling's 1.2 s";
  // 0.2-0.3 s, 0.32-0.48 s, 0.51-0.77 s, then 0.8-1.2 s apart.
  std::smatch probes;
  ASSERT_TRUE(
      std::regex_search(reached.front(), probes, std::regex("probe ([0-9]+), ([0-9]+) ms after")));
  const double goneMs = std::stod(probes[2]);
  const auto sinceGone = std::chrono::duration_cast<std::chrono::milliseconds>(back - gone);
  EXPECT_GE(goneMs, static_cast<double>(sinceGone.count()));
  EXPECT_LE(std::stoi(probes[1]), 4 + static_cast<int>((goneMs - 1032) / 800)) << reached.front();
  // The probe's attach ends the outage, which began at the first failed attach.
  std::vector<std::string> reachable;
  for (int look = 0; look < 50 && reachable.empty(); ++look) {
    reachable = LinesStartingWith(down, "Database reachable again after ");
    if (reachable.empty()) std::this_thread::sleep_for(20ms);
  }
  ASSERT_EQ(reachable.size(), 1u) << down.MainText();
  std::smatch outage;
  ASSERT_TRUE(std::regex_match(
      reachable.front(), outage,
      std::regex("Database reachable again after (\\d+\\.\\d) s; 0 commands failed while it was "
                 "not")))
      << reachable.front();
  EXPECT_GE(std::stod(outage[1]) + 0.05, goneMs / 1000) << reachable.front();

  LogTail up(HostLogsFolder());
  ASSERT_TRUE(ReadStart(error)) << error;
  const std::vector<std::string> expected = {
      "No database connection!", "Connecting to " + Database.ConnectionString(),
      "Database " + Database.ConnectionString() + " connected"};
  EXPECT_EQ(up.MainMessages(), expected) << "no second end of the outage";
}

namespace {
// Prepares and executes fail with scripted status vectors; the rest is the
// real client library.
struct ScriptedFaults {
  static inline std::vector<std::vector<ISC_STATUS>> Failures;
  static inline std::vector<std::vector<ISC_STATUS>> ExecuteFailures;
  static inline std::atomic<int> Prepares{0};
  static inline std::atomic<int> Executes{0};
  static inline bool FailDetach = false;
  static inline bool FailProbe = false;

  static ISC_STATUS Prepare(ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short length,
                            const ISC_SCHAR* text, unsigned short dialect, XSQLDA* area) {
    const size_t index = static_cast<size_t>(Prepares++);
    if (index < Failures.size()) return Fail(status, Failures[index]);
    return DefaultFbClientApi().DsqlPrepare(status, transaction, statement, length, text, dialect,
                                            area);
  }

  static bool FailsExecute(ISC_STATUS* status, ISC_STATUS& result) {
    const size_t index = static_cast<size_t>(Executes++);
    if (index >= ExecuteFailures.size()) return false;
    result = Fail(status, ExecuteFailures[index]);
    return true;
  }

  static ISC_STATUS Execute(ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short version, const XSQLDA* in) {
    ISC_STATUS result = 0;
    if (FailsExecute(status, result)) return result;
    return DefaultFbClientApi().DsqlExecute(status, transaction, statement, version, in);
  }

  static ISC_STATUS Execute2(ISC_STATUS* status, isc_tr_handle* transaction,
                             isc_stmt_handle* statement, unsigned short version, const XSQLDA* in,
                             const XSQLDA* out) {
    ISC_STATUS result = 0;
    if (FailsExecute(status, result)) return result;
    return DefaultFbClientApi().DsqlExecute2(status, transaction, statement, version, in, out);
  }

  static ISC_STATUS Detach(ISC_STATUS* status, isc_db_handle* database) {
    if (FailDetach) return Fail(status, Random("Error writing data to the connection. 10054"));
    return DefaultFbClientApi().DetachDatabase(status, database);
  }

  static ISC_STATUS Probe(ISC_STATUS* status, isc_db_handle* database, short itemsLength,
                          const ISC_SCHAR* items, short answerLength, ISC_SCHAR* answer) {
    if (FailProbe) return Fail(status, {isc_arg_gds, isc_net_read_err, isc_arg_end});
    return DefaultFbClientApi().DatabaseInfo(status, database, itemsLength, items, answerLength,
                                             answer);
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
    api.DsqlExecute = &Execute;
    api.DsqlExecute2 = &Execute2;
    api.DetachDatabase = &Detach;
    api.DatabaseInfo = &Probe;
    return api;
  }
};

class InjectedFaultTest : public QueryExecutionTest {
 protected:
  InjectedFaultTest() {
    ScriptedFaults::Failures.clear();
    ScriptedFaults::ExecuteFailures.clear();
    ScriptedFaults::Prepares = 0;
    ScriptedFaults::Executes = 0;
    ScriptedFaults::FailDetach = false;
    ScriptedFaults::FailProbe = false;
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
  EXPECT_FALSE(ReadStart(error));
  EXPECT_EQ(ScriptedFaults::Prepares.load(), 10);
  const auto pauses = LinesStartingWith(log, DeadlockPause);
  EXPECT_EQ(pauses.size(), 9u);
  ExpectPausesInRange(pauses);
  EXPECT_NE(error.find("Msg=\"deadlock\""), std::string::npos) << error;
  EXPECT_FALSE(MenuDb.BeginCommand());
}

TEST_F(InjectedFaultTest, DeadlockThenSuccessAndCapitalisedDeadlockAreRetried) {
  ScriptedFaults::Failures = {Deadlock, ScriptedFaults::Random("Lock conflict: DEADLOCK detected")};
  LogTail log(HostLogsFolder());
  std::string error;
  ASSERT_TRUE(ReadStart(error));
  EXPECT_EQ(error, "");
  EXPECT_EQ(ScriptedFaults::Prepares.load(), 3);
  EXPECT_EQ(LinesStartingWith(log, DeadlockPause).size(), 2u);
  EXPECT_EQ(StartItem, 10);
}

TEST_F(InjectedFaultTest, NetworkTextsAreRetriedAsConnectionLossAndOthersAreNot) {
  ScriptedFaults::Failures = {ScriptedFaults::Random("Unable to complete network request to host"),
                              ScriptedFaults::Random("Connection lost to database"),
                              ScriptedFaults::Random("arithmetic overflow")};
  LogTail log(HostLogsFolder());
  std::string error;
  EXPECT_FALSE(ReadStart(error));
  EXPECT_EQ(ScriptedFaults::Prepares.load(), 3);
  const auto pauses = LinesStartingWith(log, ConnectionPause);
  ASSERT_EQ(pauses.size(), 2u);
  EXPECT_TRUE(pauses[0].ends_with(" ms... Msg=\"Unable to complete network request to host\""))
      << pauses[0];
  EXPECT_TRUE(pauses[1].ends_with(" ms... Msg=\"Connection lost to database\"")) << pauses[1];
  EXPECT_TRUE(LinesStartingWith(log, DeadlockPause).empty());
  EXPECT_NE(error.find("Msg=\"arithmetic overflow\""), std::string::npos) << error;
}

// The status vectors the client library returned under real faults: a server
// killed (read, write), killed during a connect (rejected), starting up (login),
// an attachment deleted or shut down, a database shut down, handles dropped by
// a client library that shut itself down. On a request after
// the attempt's first they are retried with a pause; on the first one they
// count as the attachment found dead, which is opened again at once.
TEST_F(InjectedFaultTest, LostConnectionCodesAreRetriedWhateverTheirText) {
  static const char kPath[] = "/var/lib/firebird/menu.fdb";
  const std::vector<std::vector<ISC_STATUS>> lost = {
      {isc_arg_gds, isc_net_read_err, isc_arg_end},
      {isc_arg_gds, isc_net_write_err, isc_arg_end},
      {isc_arg_gds, isc_connect_reject, isc_arg_end},
      {isc_arg_gds, isc_login_error, isc_arg_end},
      {isc_arg_gds, isc_att_shutdown, isc_arg_end},
      {isc_arg_gds, isc_shutdown, isc_arg_string, reinterpret_cast<ISC_STATUS>(kPath), isc_arg_end},
      {isc_arg_gds, isc_bad_db_handle, isc_arg_end},
      {isc_arg_gds, isc_bad_stmt_handle, isc_arg_end},
  };
  const std::vector<std::string> reconnected = {
      "No database connection!", "Connecting to " + Database.ConnectionString(),
      "Database " + Database.ConnectionString() + " connected"};
  std::string error;
  for (const auto& vector : lost) {
    // Second request: the action's execute, after its transaction started.
    ScriptedFaults::ExecuteFailures = {vector};
    ScriptedFaults::Executes = 0;
    LogTail retried(HostLogsFolder());
    EXPECT_TRUE(Record(error, 1)) << error;
    EXPECT_EQ(LinesStartingWith(retried, ConnectionPause).size(), 1u) << vector[1];
    EXPECT_EQ(ScriptedFaults::Executes.load(), 2) << vector[1];

    // First request: the read's execute on a prepared statement.
    ASSERT_TRUE(ReadStart(error)) << error;
    ScriptedFaults::ExecuteFailures = {vector};
    ScriptedFaults::Executes = 0;
    LogTail probed(HostLogsFolder());
    StartItem = -1;
    EXPECT_TRUE(ReadStart(error)) << error;
    EXPECT_EQ(StartItem, 10);
    EXPECT_EQ(probed.MainMessages(), reconnected) << vector[1];
    EXPECT_EQ(ScriptedFaults::Executes.load(), 2) << vector[1];
  }
  EXPECT_EQ(Database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS;"), std::to_string(lost.size()));
}

TEST_F(InjectedFaultTest, ResetConnectionIsClosedAndAFailingCloseReachesTheCaller) {
  ScriptedFaults::Failures = {
      ScriptedFaults::Random("Error reading data from the connection. 10054")};
  std::string error;
  EXPECT_FALSE(ReadStart(error));
  EXPECT_FALSE(MenuDb.IsConnected());
  EXPECT_EQ(ScriptedFaults::Prepares.load(), 1);

  ScriptedFaults::Failures.push_back(
      ScriptedFaults::Random("Error reading data from the connection. 10054"));
  ScriptedFaults::FailDetach = true;
  try {
    ReadStart(error);
    ADD_FAILURE() << "the failing close did not reach the caller";
  } catch (const tDBError& failure) {
    EXPECT_NE(failure.Message.find("10054"), std::string::npos);
  }
  EXPECT_FALSE(MenuDb.IsConnected());
}

TEST_F(InjectedFaultTest, AnAttachmentThatFailsItsProbeIsDroppedWithoutRaising) {
  std::string error;
  ASSERT_TRUE(ReadStart(error)) << error;
  ScriptedFaults::FailProbe = true;
  EXPECT_FALSE(MenuDb.IsAlive());
  EXPECT_FALSE(MenuDb.IsConnected());
  ScriptedFaults::FailProbe = false;
  EXPECT_FALSE(MenuDb.IsAlive());
  ASSERT_TRUE(ReadStart(error)) << error;
  EXPECT_TRUE(MenuDb.IsAlive());
}
