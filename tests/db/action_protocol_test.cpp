// The menu database's action protocol with two writers of one session at once,
// as two host processes on one call would write it.
#include <gtest/gtest.h>

#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDBQuery.h"
#include "dynmenu/db/tDBTransaction.h"
#include "support/TestDatabase.h"

namespace {

constexpr int Rounds = 25;
constexpr int SessionId = 500;

// One writer's connection, with a write transaction as the menu worker's actions have.
struct Writer {
  explicit Writer(const TestDatabase& database) {
    Connection.DatabaseName = database.ConnectionString();
    Connection.Parameters.User = TestDatabase::User();
    Connection.Parameters.Password = TestDatabase::Password();
    // A writer held up by the other gives up after a second instead of waiting for ever.
    Transaction.LockTimeout = 1;
    Connection.Open();
  }

  tDBConnection Connection;
  tDBTransaction Transaction{Connection};
  tDBQuery Query{Connection, Transaction};
  std::vector<std::string> Failures;
};

}  // namespace

TEST(ActionProtocol, TwoWritersOfOneNewSessionNeverFailEachOther) {
  TestDatabase database;
  Writer writers[2]{Writer(database), Writer(database)};
  // Every round both transactions start, both record an action, then both
  // commit: each round the two overlap, the first one on a session not yet seen.
  std::barrier together(2);
  auto write = [&](int index) {
    Writer& writer = writers[index];
    for (int round = 0; round < Rounds; ++round) {
      int meetings = 0;
      const auto meet = [&] {
        together.arrive_and_wait();
        ++meetings;
      };
      try {
        writer.Transaction.StartTransaction();
        meet();
        writer.Query.ClearText();
        writer.Query.AddLine("execute procedure menu_prot_actions(" + std::to_string(SessionId) +
                             "," + std::to_string(round) + ",\"w" + std::to_string(index) + "\")");
        writer.Query.Open();
        meet();
        writer.Transaction.Commit();
      } catch (const tDBError& error) {
        writer.Failures.push_back(error.Message);
        if (writer.Transaction.InTransaction()) writer.Transaction.Rollback();
      }
      // A failed writer still keeps step with the other.
      while (meetings < 2) meet();
    }
  };
  std::thread second(write, 1);
  write(0);
  second.join();

  EXPECT_EQ(writers[0].Failures, std::vector<std::string>{});
  EXPECT_EQ(writers[1].Failures, std::vector<std::string>{});
  const std::string where = " WHERE SESSION_ID = " + std::to_string(SessionId) + ";";
  EXPECT_EQ(database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS" + where),
            std::to_string(2 * Rounds));
  EXPECT_EQ(database.QueryValue("SELECT ACTION_COUNT FROM MENU_SESSIONS" + where),
            std::to_string(2 * Rounds));
  EXPECT_EQ(database.QueryValue("SELECT LAST_ITEM_ID FROM MENU_SESSIONS" + where),
            std::to_string(Rounds - 1));
}
