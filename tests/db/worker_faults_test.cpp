// A menu worker serving commands through faults the server cannot produce on
// demand, injected through the client-function table: a leftover transaction
// that cannot be rolled back, a commit whose reply is lost, a commit refused,
// a server killed just as a read is sent.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/uIBDynSrvWorker.h"
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
  static inline bool RollbackCutOff = false;
  static inline int CommitsLosingTheReply = 0;
  static inline int CommitsRefused = 0;

  static ISC_STATUS Rollback(ISC_STATUS* status, isc_tr_handle* transaction) {
    if (RollbackCutOff) return Fail(status, {isc_arg_gds, isc_att_shutdown, isc_arg_end});
    return DefaultFbClientApi().RollbackTransaction(status, transaction);
  }

  // The commit reaches the server; its reply does not come back.
  static ISC_STATUS Commit(ISC_STATUS* status, isc_tr_handle* transaction) {
    if (CommitsLosingTheReply > 0) {
      --CommitsLosingTheReply;
      DefaultFbClientApi().CommitTransaction(status, transaction);
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

  static ISC_STATUS Attach(ISC_STATUS* status, short nameLength, const ISC_SCHAR* name,
                           isc_db_handle* database, short dpbLength, const ISC_SCHAR* dpb) {
    ServerKilled = false;
    return DefaultFbClientApi().AttachDatabase(status, nameLength, name, database, dpbLength, dpb);
  }

  static tFbClientApi Table() {
    tFbClientApi api = DefaultFbClientApi();
    api.RollbackTransaction = &Rollback;
    api.CommitTransaction = &Commit;
    api.DsqlExecute = &Execute;
    api.DsqlExecute2 = &Execute2;
    api.DatabaseInfo = &DatabaseInfo;
    api.AttachDatabase = &Attach;
    return api;
  }
};

class WorkerFaultTest : public ::testing::Test {
 protected:
  WorkerFaultTest() {
    EndFaults::RollbackCutOff = false;
    EndFaults::CommitsLosingTheReply = 0;
    EndFaults::CommitsRefused = 0;
    EndFaults::ServerKilled = false;
    tDBConnection& connection = Worker.MenuDatabase.Connection();
    connection.DatabaseName = Database.ConnectionString();
    connection.SetParam("user_name", TestDatabase::User());
    connection.SetParam("password", TestDatabase::Password());
  }

  // A command as the session hands it over; answers the buffer as it comes back.
  std::vector<uint8_t> Ask(const std::vector<uint8_t>& request) {
    auto* buffer = static_cast<uint8_t*>(std::malloc(request.size()));
    std::memcpy(buffer, request.data(), request.size());
    Worker.PlugInCommand(buffer, static_cast<uint32_t>(request.size()));
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
  tIB_DynMenuWorker Worker;
  tFbClientApi Api = EndFaults::Table();
  tFbClientApiOverride Override{Api};
};

}  // namespace

TEST_F(WorkerFaultTest, ALeftoverTransactionThatCannotBeRolledBackIsDroppedNotKept) {
  ASSERT_EQ(Post(1, 1, "first"), 0);
  Worker.MenuDatabase.WriteTransaction().StartTransaction();
  // From now on every rollback fails the way it does once the server has cut
  // the attachment.
  EndFaults::RollbackCutOff = true;
  LogTail log(HostLogsFolder());
  EXPECT_EQ(Post(1, 2, "second"), 0);
  EXPECT_EQ(Post(1, 3, "third"), 0);

  EXPECT_EQ(TimesLogged(log, "Transaction is active! Rollback"), 1u);
  EXPECT_EQ(TimesLogged(log, "No database connection!"), 1u);
  EXPECT_EQ(Rows("second"), "1");
  EXPECT_EQ(Rows("third"), "1");
  // The dropped attachment is gone from the server too, not left behind.
  EXPECT_EQ(OurAttachments(), "1");
}

TEST_F(WorkerFaultTest, ACommitWithoutAReplyIsNamedOutcomeUnknownARefusedOneIsNot) {
  EndFaults::CommitsLosingTheReply = 1;
  LogTail log(HostLogsFolder());
  EXPECT_EQ(Post(5, 6, "lost reply"), 1);
  EXPECT_EQ(Rows("lost reply"), "1");
  EXPECT_EQ(TimesLogged(log,
                        "Exception while processing onDynMenu_PostMenuAction Msg=\"Error reading "
                        "data from the connection\" PostMenuAction(MENU_PROT_ACTIONS) "
                        "IN[session_id=5, item_id=6, item_key=\"lost reply\"] - commit outcome "
                        "unknown\r\n"),
            2u);

  EndFaults::CommitsRefused = 1;
  EXPECT_EQ(Post(5, 7, "refused"), 1);
  EXPECT_EQ(Rows("refused"), "0");
  EXPECT_EQ(TimesLogged(log,
                        "Exception while processing onDynMenu_PostMenuAction Msg=\"commit "
                        "refused\" PostMenuAction(MENU_PROT_ACTIONS) IN[session_id=5, item_id=7, "
                        "item_key=\"refused\"]\r\n"),
            2u);
  EXPECT_EQ(TimesLogged(log, "commit outcome unknown"), 2u);

  EXPECT_EQ(Post(5, 8, "after"), 0);
  EXPECT_EQ(Rows("after"), "1");
  EXPECT_EQ(TimesLogged(log, "Transaction is active! Rollback"), 0u);
  EXPECT_EQ(OurAttachments(), "1");
}

// A read is never answered "not found" because the server went away under it:
// the lost connection is found, and the read runs again on a new attachment.
TEST_F(WorkerFaultTest, AServerKilledAsAReadGoesOutIsNeverAnsweredNotFound) {
  Database.Execute("INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 0, 10);");
  LogTail log(HostLogsFolder());
  EXPECT_EQ(SignedWordAt(Ask(StartItemRequest(7)), 12), 2) << "menu 7 has no start item";
  const size_t reconnects = TimesLogged(log, "No database connection!");
  EndFaults::ServerKilled = true;
  const std::vector<uint8_t> answer = Ask(StartItemRequest(1));
  EXPECT_EQ(SignedWordAt(answer, 12), 0) << log.MainText();
  EXPECT_EQ(SignedWordAt(answer, 20), 10);
  EXPECT_EQ(TimesLogged(log, "No database connection!"), reconnects + 1);
  EXPECT_EQ(TimesLogged(log, "Pausing before retrying query"), 0u);
}
