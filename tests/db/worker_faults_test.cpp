// A menu worker serving commands through faults the server cannot produce on
// demand, injected through the client-function table: a follow-up read
// refused, a commit whose reply is lost, a commit refused, a commit left
// unanswered, a server killed just as a read is sent and the drop of its
// attachment left unanswered.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/uIBDynSrvWorker.h"
#include "log/tPlugInLog.h"
#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/TestDatabase.h"

namespace {

ISC_STATUS Fail(ISC_STATUS* status, std::initializer_list<ISC_STATUS> vector) {
  std::copy(vector.begin(), vector.end(), status);
  return status[1];
}

// Which end of a transaction fails, and how; the rest is the real library.
struct EndFaults {
  static inline int CommitsLosingTheReply = 0;
  static inline int CommitsRefused = 0;
  // The commit reaches the server; no reply comes until the attachment is cut
  // off, or for long past any limit the tests set: a commit left uncut fails them.
  static inline int CommitsHanging = 0;
  static inline std::atomic<bool> CutOff = false;
  // Selects of more than one row: only the connection rows of command 101.
  static inline int SelectsRefused = 0;

  // The commit reaches the server; its reply does not come back.
  static ISC_STATUS Commit(ISC_STATUS* status, isc_tr_handle* transaction) {
    if (CommitsLosingTheReply > 0) {
      --CommitsLosingTheReply;
      DefaultFbClientApi().CommitTransaction(status, transaction);
      return Fail(status, {isc_arg_gds, isc_net_read_err, isc_arg_end});
    }
    if (CommitsHanging > 0) {
      --CommitsHanging;
      DefaultFbClientApi().CommitTransaction(status, transaction);
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!CutOff && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return Fail(status, {isc_arg_gds, isc_net_read_err, isc_arg_end});
    }
    if (CommitsRefused > 0) {
      --CommitsRefused;
      return Fail(status, {isc_arg_gds, isc_random, isc_arg_string,
                           reinterpret_cast<ISC_STATUS>("commit refused"), isc_arg_end});
    }
    return DefaultFbClientApi().CommitTransaction(status, transaction);
  }

  // The server is killed as the next request goes out, until a new
  // attachment. The client was seen to answer a select that returns its row
  // with the execute with a bare "no more rows" then, after an answer that
  // had no row; other requests report the lost connection.
  static inline bool ServerKilled = false;

  static ISC_STATUS Lost(ISC_STATUS* status) {
    return Fail(status, {isc_arg_gds, isc_net_read_err, isc_arg_end});
  }

  static ISC_STATUS Execute(ISC_STATUS* status, isc_tr_handle* transaction,
                            isc_stmt_handle* statement, unsigned short version, const XSQLDA* in) {
    if (ServerKilled) return Lost(status);
    if (SelectsRefused > 0) {
      --SelectsRefused;
      return Fail(status, {isc_arg_gds, isc_random, isc_arg_string,
                           reinterpret_cast<ISC_STATUS>("select refused"), isc_arg_end});
    }
    return DefaultFbClientApi().DsqlExecute(status, transaction, statement, version, in);
  }

  static ISC_STATUS Execute2(ISC_STATUS* status, isc_tr_handle* transaction,
                             isc_stmt_handle* statement, unsigned short version, const XSQLDA* in,
                             const XSQLDA* out) {
    if (ServerKilled) return Fail(status, {isc_arg_gds, isc_stream_eof, isc_arg_end});
    return DefaultFbClientApi().DsqlExecute2(status, transaction, statement, version, in, out);
  }

  static ISC_STATUS DatabaseInfo(ISC_STATUS* status, isc_db_handle* database, short itemsLength,
                                 const ISC_SCHAR* items, short answerLength, ISC_SCHAR* answer) {
    if (ServerKilled) return Lost(status);
    return DefaultFbClientApi().DatabaseInfo(status, database, itemsLength, items, answerLength,
                                             answer);
  }

  // The server takes the connect and answers nothing until released.
  static inline std::atomic<int> AttachesHanging = 0;
  static inline std::atomic<bool> AttachHangs = false;
  static inline std::atomic<bool> AttachReleased = false;

  static ISC_STATUS Attach(ISC_STATUS* status, short nameLength, const ISC_SCHAR* name,
                           isc_db_handle* database, short dpbLength, const ISC_SCHAR* dpb) {
    if (AttachesHanging > 0) {
      --AttachesHanging;
      AttachHangs = true;
      const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (!AttachReleased && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      return Lost(status);
    }
    ServerKilled = false;
    return DefaultFbClientApi().AttachDatabase(status, nameLength, name, database, dpbLength, dpb);
  }

  static ISC_STATUS Cancel(ISC_STATUS* status, isc_db_handle* database, ISC_USHORT option) {
    CutOff = true;
    return DefaultFbClientApi().CancelOperation(status, database, option);
  }

  static tFbClientApi Table() {
    tFbClientApi api = DefaultFbClientApi();
    api.CommitTransaction = &Commit;
    api.DsqlExecute = &Execute;
    api.DsqlExecute2 = &Execute2;
    api.DatabaseInfo = &DatabaseInfo;
    api.AttachDatabase = &Attach;
    api.CancelOperation = &Cancel;
    return api;
  }
};

class WorkerFaultTest : public ::testing::Test {
 protected:
  WorkerFaultTest() {
    EndFaults::CommitsLosingTheReply = 0;
    EndFaults::CommitsRefused = 0;
    EndFaults::CommitsHanging = 0;
    EndFaults::CutOff = false;
    EndFaults::SelectsRefused = 0;
    EndFaults::ServerKilled = false;
    EndFaults::AttachesHanging = 0;
    EndFaults::AttachHangs = false;
    EndFaults::AttachReleased = false;
  }

  // A command as the session hands it over; answers the buffer as it comes back.
  std::vector<uint8_t> Ask(const std::vector<uint8_t>& request) { return Ask(Worker, request); }

  static std::vector<uint8_t> Ask(tIB_DynMenuWorker& worker, const std::vector<uint8_t>& request) {
    auto* buffer = static_cast<uint8_t*>(std::malloc(request.size()));
    std::memcpy(buffer, request.data(), request.size());
    worker.PlugInCommand(buffer, static_cast<uint32_t>(request.size()));
    std::vector<uint8_t> answer(buffer, buffer + request.size());
    std::free(buffer);
    return answer;
  }

  // Command 102; answers the result code.
  int32_t Post(int32_t sessionId, int32_t itemId, const std::string& key) {
    return SignedWordAt(Ask(ActionRequest(sessionId, itemId, key)), 12);
  }

  std::string Rows(const std::string& key) const {
    return Database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE ITEM_KEY = '" + key + "';");
  }

  std::string OurAttachments() const {
    return Database.QueryValue("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$REMOTE_PID = " +
                               std::to_string(getpid()) + ";");
  }

  size_t TimesLogged(const LogTail& log, const std::string& part) const {
    const std::string text = log.MainText();
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++count;
    return count;
  }

  TestDatabase Database;
  std::unique_ptr<tPlugInLog> Log = tPlugInLog::OpenBesideHost();
  tHourlyFigures Figures;
  tIB_DynMenuWorker Worker{*Log,
                           Figures,
                           {.DatabaseName = Database.ConnectionString(),
                            .User = TestDatabase::User(),
                            .Password = TestDatabase::Password(),
                            .Charset = "WIN1251"}};
  tFbClientApi Api = EndFaults::Table();
  tFbClientApiOverride Override{Api};
};

}  // namespace

// Each failure is logged once, with the values of the step it hit: a refused
// follow-up read of command 101, a commit whose reply is lost (named outcome
// unknown, as the action was in fact written) and a commit refused.
TEST_F(WorkerFaultTest, EachFailedStepWritesOneLineAndALostCommitIsNamedOutcomeUnknown) {
  Database.Execute(R"(INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME,
  MENU_CONNECTION_ID) VALUES (20, 1, 'balance', 3);
INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, ITEM_SYNTHEZ_LIST) VALUES (20, 'prompt');
INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY, CONNECTION_ITEM_ID)
  VALUES (3, 1, '1', 10);)");
  LogTail log(HostLogsFolder());
  EndFaults::SelectsRefused = 1;
  EXPECT_EQ(SignedWordAt(Ask(ItemDescRequest(20)), 12), 1);
  EXPECT_EQ(TimesLogged(log,
                        "Exception while processing cmdDynMenu_GetItemDesc Msg=\"select refused\" "
                        "GetMenuItemDesc(MENU_GET_CONNECTION) IN[item_connection_id=3]\r\n"),
            1u);
  EXPECT_EQ(TimesLogged(log, "select refused"), 1u);
  EXPECT_EQ(SignedWordAt(Ask(ItemDescRequest(20)), 12), 0);

  EndFaults::CommitsLosingTheReply = 1;
  EXPECT_EQ(Post(5, 6, "lost reply"), 1);
  EXPECT_EQ(Rows("lost reply"), "1");
  EXPECT_EQ(TimesLogged(log,
                        "Exception while processing onDynMenu_PostMenuAction Msg=\"Error reading "
                        "data from the connection\" PostMenuAction(MENU_PROT_ACTIONS) "
                        "IN[session_id=5, item_id=6, item_key=\"lost reply\"] - commit outcome "
                        "unknown\r\n"),
            1u);

  EndFaults::CommitsRefused = 1;
  EXPECT_EQ(Post(5, 7, "refused"), 1);
  EXPECT_EQ(Rows("refused"), "0");
  EXPECT_EQ(TimesLogged(log,
                        "Exception while processing onDynMenu_PostMenuAction Msg=\"commit "
                        "refused\" PostMenuAction(MENU_PROT_ACTIONS) IN[session_id=5, item_id=7, "
                        "item_key=\"refused\"]\r\n"),
            1u);
  EXPECT_EQ(TimesLogged(log, "commit outcome unknown"), 1u);
  EXPECT_EQ(TimesLogged(log, "Exception while processing"), 3u);

  EXPECT_EQ(Post(5, 8, "after"), 0);
  EXPECT_EQ(Rows("after"), "1");
  EXPECT_EQ(TimesLogged(log, "Transaction is active! Rollback"), 0u);
  // The first attach, then one after each commit that failed: its
  // transaction was let go with the attachment.
  EXPECT_EQ(TimesLogged(log, "No database connection!"), 3u);
  EXPECT_EQ(OurAttachments(), "1");
}

// A read is never answered "not found" because the server went away under it:
// the lost connection is found, and the read runs again on a new attachment.
// Dropping the lost one ends its transaction and detaches, requests a server
// deleting an attachment was seen to leave unanswered: they are cut off.
TEST_F(WorkerFaultTest, AServerKilledAsAReadGoesOutIsNeverAnsweredNotFound) {
  Database.Execute("INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 0, 10);");
  LogTail log(HostLogsFolder());
  EXPECT_EQ(SignedWordAt(Ask(StartItemRequest(7)), 12), 2) << "menu 7 has no start item";
  const size_t reconnects = TimesLogged(log, "No database connection!");
  EndFaults::ServerKilled = true;
  EndFaults::CommitsHanging = 1;
  const std::vector<uint8_t> answer = Ask(StartItemRequest(1));
  EXPECT_TRUE(EndFaults::CutOff);
  EXPECT_EQ(SignedWordAt(answer, 12), 0) << log.MainText();
  EXPECT_EQ(SignedWordAt(answer, 20), 10);
  EXPECT_EQ(TimesLogged(log, "No database connection!"), reconnects + 1);
  EXPECT_EQ(TimesLogged(log, "Pausing before retrying query"), 0u);
}

// A commit the server leaves unanswered is cut off at RequestTimeout and not
// run again: one failure line naming the limit and the outcome unknown (the
// action was in fact written), and the next command attaches anew.
TEST_F(WorkerFaultTest, ACommitLeftUnansweredIsCutOffOnceAndNamedOutcomeUnknown) {
  tIB_DynMenuWorker worker{*Log,
                           Figures,
                           {.DatabaseName = Database.ConnectionString(),
                            .User = TestDatabase::User(),
                            .Password = TestDatabase::Password(),
                            .Charset = "WIN1251",
                            .RequestTimeout = 1}};
  LogTail log(HostLogsFolder());
  EndFaults::CommitsHanging = 1;
  EXPECT_EQ(SignedWordAt(Ask(worker, ActionRequest(5, 9, "unanswered")), 12), 1);
  EXPECT_TRUE(EndFaults::CutOff);
  EXPECT_EQ(Rows("unanswered"), "1");
  EXPECT_EQ(
      TimesLogged(log,
                  "Msg=\"The server did not answer within RequestTimeout=1 s: the request was "
                  "cut off and is not run again (Error reading data from the connection)\" "
                  "PostMenuAction(MENU_PROT_ACTIONS) IN[session_id=5, item_id=9, "
                  "item_key=\"unanswered\"] - commit outcome unknown\r\n"),
      1u)
      << log.MainText();
  EXPECT_EQ(TimesLogged(log, "Exception while processing"), 1u);
  EXPECT_EQ(TimesLogged(log, "Pausing before retrying query"), 0u);

  const size_t attaches = TimesLogged(log, "No database connection!");
  EXPECT_EQ(SignedWordAt(Ask(worker, ActionRequest(5, 9, "after the cut")), 12), 0);
  EXPECT_EQ(Rows("after the cut"), "1");
  EXPECT_EQ(TimesLogged(log, "No database connection!"), attaches + 1);
}

// Stopping ends an attach under way within RequestTimeout, also where
// ConnectTimeout is longer or 0 (the client library's own limit).
TEST_F(WorkerFaultTest, StoppingEndsAnAttachUnderWayWithinRequestTimeout) {
  for (const int32_t connectTimeout : {0, 30}) {
    tIB_DynMenuWorker worker{*Log,
                             Figures,
                             {.DatabaseName = Database.ConnectionString(),
                              .User = TestDatabase::User(),
                              .Password = TestDatabase::Password(),
                              .Charset = "WIN1251",
                              .ConnectTimeout = connectTimeout,
                              .RequestTimeout = 1}};
    LogTail log(HostLogsFolder());
    EndFaults::AttachesHanging = 1;
    EndFaults::AttachHangs = false;
    EndFaults::AttachReleased = false;
    auto asked = std::async(std::launch::async,
                            [&] { return SignedWordAt(Ask(worker, StartItemRequest(1)), 12); });
    while (!EndFaults::AttachHangs) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    worker.Stopping();
    const bool inTime = asked.wait_for(std::chrono::seconds(6)) == std::future_status::ready;
    EndFaults::AttachReleased = true;
    EXPECT_TRUE(inTime) << "ConnectTimeout=" << connectTimeout;
    EXPECT_EQ(asked.get(), 1);
    EXPECT_EQ(TimesLogged(log,
                          "the attach did not end within RequestTimeout=1 s of the stopping "
                          "plugin"),
              1u)
        << log.MainText();
    EXPECT_EQ(TimesLogged(log, "Not retrying query: the plugin is stopping"), 1u);
  }
}

// Every attach refused at once: the command's attempts pause and run again
// only while a pause and another attempt as long as the last end before its
// deadline, so it is answered by then, with the line saying why it stops.
TEST_F(WorkerFaultTest, NoPauseOrAttemptStartsThatCannotEndByTheCommandsDeadline) {
  tIB_DynMenuWorker worker{*Log,
                           Figures,
                           {.DatabaseName = "127.0.0.1/1:/nowhere.fdb",
                            .User = TestDatabase::User(),
                            .Password = TestDatabase::Password(),
                            .Charset = "WIN1251",
                            .ConnectTimeout = 0,
                            .RequestTimeout = 0,
                            .LockTimeout = 0,
                            .CommandDeadline = 1}};
  LogTail log(HostLogsFolder());
  const auto asked = std::chrono::steady_clock::now();
  worker.CommandDue = asked + std::chrono::milliseconds(700);
  EXPECT_EQ(SignedWordAt(Ask(worker, StartItemRequest(1)), 12), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(700));
  EXPECT_EQ(TimesLogged(log, "ms are left until CommandDeadline=1 s, too few for a pause of "), 1u)
      << log.MainText();
  EXPECT_LT(TimesLogged(log, "Pausing before retrying query"), 9u);
}

// A command with less time left than a request, or an attach, takes fails at
// once and leaves the attachment as it was: begun, the request would be cut
// off at the deadline with its attachment, and every command queued behind
// would attach again with as little time, never to catch up.
TEST_F(WorkerFaultTest, ACommandWithTooLittleTimeLeftSendsNothingAndKeepsTheAttachment) {
  Database.Execute("INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 0, 10);");
  tIB_DynMenuWorker worker{*Log,
                           Figures,
                           {.DatabaseName = Database.ConnectionString(),
                            .User = TestDatabase::User(),
                            .Password = TestDatabase::Password(),
                            .Charset = "WIN1251",
                            .CommandDeadline = 1}};
  LogTail log(HostLogsFolder());
  const auto askWithin = [&](std::chrono::milliseconds left) {
    worker.CommandDue = std::chrono::steady_clock::now() + left;
    return SignedWordAt(Ask(worker, StartItemRequest(1)), 12);
  };
  ASSERT_EQ(askWithin(std::chrono::seconds(1)), 0) << "attached";
  EXPECT_EQ(askWithin(std::chrono::milliseconds(20)), 1);
  EXPECT_EQ(TimesLogged(log,
                        "ms are left until CommandDeadline=1 s, too few for another request: "
                        "nothing more was sent"),
            1u);
  EXPECT_EQ(askWithin(std::chrono::seconds(1)), 0);
  EXPECT_EQ(TimesLogged(log, "Connecting to "), 1u) << "the attachment was kept";

  worker.Finalize();
  EXPECT_EQ(askWithin(std::chrono::milliseconds(80)), 1);
  EXPECT_EQ(TimesLogged(log, "too few for an attach: nothing more was sent"), 1u);
  EXPECT_EQ(TimesLogged(log, "Connecting to "), 1u) << "an attach that could not end in time";
  EXPECT_EQ(askWithin(std::chrono::seconds(1)), 0);
  EXPECT_EQ(TimesLogged(log, "Connecting to "), 2u);
}
