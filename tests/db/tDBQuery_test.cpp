#include <gtest/gtest.h>

#include "DbTestFixture.h"
#include "dynmenu/db/tDBError.h"

namespace {

using tDBQueryTest = DbTest;

// "Приветствие" and "Главное меню" in Windows-1251.
const std::string kGreeting = "\xcf\xf0\xe8\xe2\xe5\xf2\xf1\xf2\xe2\xe8\xe5";
const std::string kMainMenu = "\xc3\xeb\xe0\xe2\xed\xee\xe5 \xec\xe5\xed\xfe";

TEST_F(tDBQueryTest, SelectOfSeveralRowsWalksThemInOrder) {
  Database.Execute(
      "INSERT INTO MENU_CONNECTION_ROWS VALUES (7, 2, '2', 30, 'second');"
      "INSERT INTO MENU_CONNECTION_ROWS VALUES (7, 1, '1', 20, 'first');"
      "INSERT INTO MENU_CONNECTION_ROWS VALUES (7, 3, '*', 10, NULL);"
      "INSERT INTO MENU_CONNECTION_ROWS VALUES (8, 1, 'x', 99, 'other connection');");

  OpenSelect("MENU_GET_CONNECTION(7)");
  ASSERT_TRUE(Query->IsActive());
  EXPECT_FALSE(Query->Eof());
  EXPECT_EQ(Query->RecordCount(), 1);

  std::vector<std::string> keys;
  std::vector<int> items;
  for (Query->First(); !Query->Eof(); Query->Next()) {
    keys.push_back(Query->FieldByName("CONNECTION_KEY").AsString());
    items.push_back(Query->FieldByName("connection_item_id").AsInteger());
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"1", "2", "*"}));
  EXPECT_EQ(items, (std::vector<int>{20, 30, 10}));
  EXPECT_EQ(Query->RecordCount(), 3);

  Query->Next();
  EXPECT_TRUE(Query->Eof());
  EXPECT_TRUE(Query->FieldByName("CONNECTION_KEY").IsNull());

  Query->First();
  EXPECT_FALSE(Query->Eof());
  EXPECT_EQ(Query->FieldByName("CONNECTION_WAY_DESC").AsString(), "first");
}

TEST_F(tDBQueryTest, EmptyResultReadsAsNullsOnEveryColumn) {
  OpenSelect("MENU_GET_ITEM(42)");
  ASSERT_TRUE(Query->IsActive());
  EXPECT_TRUE(Query->Eof());
  EXPECT_EQ(Query->RecordCount(), 0);
  for (const char* name :
       {"MENU_SERVICE_ID", "MENU_CONNECTION_ID", "MENU_ITEM_NAME", "MENU_CONNECTION_NAME"}) {
    tDBField& field = Query->FieldByName(name);
    EXPECT_TRUE(field.IsNull()) << name;
    EXPECT_EQ(field.AsInteger(), 0) << name;
    EXPECT_EQ(field.AsString(), "") << name;
  }
}

TEST_F(tDBQueryTest, NullColumnsAndWindows1251TextsComeBackAsStored) {
  Database.Execute(
      "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, MENU_SERVICE_ID, MENU_ITEM_NAME) VALUES (5, 1, '" +
      kGreeting + "');");

  OpenSelect("MENU_GET_ITEM(5)");
  ASSERT_FALSE(Query->Eof());
  EXPECT_EQ(Query->FieldByName("MENU_SERVICE_ID").AsInteger(), 1);
  EXPECT_EQ(Query->FieldByName("MENU_SERVICE_ID").AsString(), "1");
  EXPECT_EQ(Query->FieldByName("MENU_ITEM_NAME").AsString(), kGreeting);
  EXPECT_FALSE(Query->FieldByName("MENU_ITEM_NAME").IsNull());
  EXPECT_TRUE(Query->FieldByName("MENU_CONNECTION_ID").IsNull());
  EXPECT_EQ(Query->FieldByName("MENU_CONNECTION_ID").AsInteger(), 0);
  EXPECT_TRUE(Query->FieldByName("MENU_CONNECTION_NAME").IsNull());
  EXPECT_EQ(Query->FieldByName("MENU_CONNECTION_NAME").AsString(), "");
}

TEST_F(tDBQueryTest, ExecuteProcedureWithDoubleQuotedLiteralRecordsTheAction) {
  Connection.Open();
  Transaction.StartTransaction();
  Query->ClearText();
  Query->AddLine("execute procedure menu_prot_actions(1,2,\"" + kMainMenu + "\")");
  Query->Open();
  EXPECT_TRUE(Query->IsActive());
  Transaction.Commit();
  EXPECT_FALSE(Query->IsActive());

  EXPECT_EQ(Database.QueryValue(
                "SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = 1 AND ITEM_ID = 2;"),
            "1");
  EXPECT_EQ(Database.QueryValue("SELECT ACTION_COUNT FROM MENU_SESSIONS WHERE SESSION_ID = 1;"),
            "1");

  Transaction.StartTransaction();
  Query->ClearText();
  Query->AddLine("select ITEM_KEY from MENU_ACTIONS");
  Query->Open();
  EXPECT_EQ(Query->FieldByName("ITEM_KEY").AsString(), kMainMenu);
}

TEST_F(tDBQueryTest, OtherColumnTypesReadAsText) {
  Connection.Open();
  Transaction.StartTransaction();
  Query->AddLine(
      "select cast('ab' as char(5)) as PADDED, cast(12.5 as numeric(9,2)) as AMOUNT, "
      "cast(2.5 as double precision) as RATIO, cast('2024-02-29 13:05:09' as timestamp) as STAMP, "
      "cast(' 17 ' as varchar(10)) as NUMBER_TEXT, cast('text blob' as blob sub_type text) as MEMO "
      "from RDB$DATABASE");
  Query->Open();
  EXPECT_EQ(Query->FieldByName("PADDED").AsString(), "ab   ");
  EXPECT_EQ(Query->FieldByName("AMOUNT").AsString(), "12.50");
  EXPECT_EQ(Query->FieldByName("RATIO").AsString(), "2.5");
  EXPECT_EQ(Query->FieldByName("STAMP").AsString(), "2024-02-29 13:05:09");
  EXPECT_EQ(Query->FieldByName("NUMBER_TEXT").AsInteger(), 17);
  EXPECT_EQ(Query->FieldByName("MEMO").AsString(), "text blob");
  EXPECT_THROW(Query->FieldByName("PADDED").AsInteger(), tDBError);
}

// Dialect 1 computes large numbers in double precision (the database rejects
// BIGINT); a value beyond 32 bits must raise rather than wrap around.
TEST_F(tDBQueryTest, ValueBeyondThirtyTwoBitsRaisesInsteadOfWrapping) {
  Connection.Open();
  Transaction.StartTransaction();
  Query->AddLine(
      "select 5000000000 as BIG, -2147483648 as SMALLEST, 1.5 as HALF, 32767 as SHORT_ONE");
  Query->AddLine("from RDB$DATABASE");
  Query->Open();
  EXPECT_EQ(Query->FieldByName("SMALLEST").AsInteger(), -2147483647 - 1);
  EXPECT_EQ(Query->FieldByName("SHORT_ONE").AsInteger(), 32767);
  EXPECT_EQ(Query->FieldByName("BIG").AsString(), "5000000000");
  EXPECT_EQ(Query->FieldByName("HALF").AsString(), "1.5");
  try {
    Query->FieldByName("BIG").AsInteger();
    ADD_FAILURE() << "no error";
  } catch (const tDBError& error) {
    EXPECT_EQ(error.Message, "Field 'BIG' value 5000000000 does not fit a 32-bit integer");
  }
  EXPECT_THROW(Query->FieldByName("HALF").AsInteger(), tDBError);
}

TEST_F(tDBQueryTest, UnknownFieldNameIsReported) {
  OpenSelect("MENU_GET_START_ITEM(1)");
  try {
    Query->FieldByName("NO_SUCH_COLUMN");
    FAIL() << "no error";
  } catch (const tDBError& error) {
    EXPECT_EQ(error.Message, "Field 'NO_SUCH_COLUMN' not found");
  }
}

TEST_F(tDBQueryTest, UnknownProcedureFailsWithTheServersWordsAndLeavesTransactionActive) {
  try {
    OpenSelect("NO_SUCH_PROC(1)");
    FAIL() << "no error";
  } catch (const tDBError& error) {
    EXPECT_EQ(error.Message,
              "Dynamic SQL Error\r\nSQL error code = -204\r\nProcedure unknown\r\nNO_SUCH_PROC\r\n"
              "At line 2, column 6");
    EXPECT_EQ(error.SqlCode, -204);
    EXPECT_EQ(error.StatusCode, 335544569);
  }
  EXPECT_FALSE(Query->IsActive());
  EXPECT_TRUE(Transaction.InTransaction());
  Transaction.Rollback();
}

TEST_F(tDBQueryTest, EndingTheTransactionClosesTheResultAndTheStatementRunsAgainInTheNext) {
  Database.Execute("INSERT INTO MENUS (MENU_ID, ITEM_START_ID) VALUES (1, 10);");
  OpenSelect("MENU_GET_START_ITEM(1)");
  EXPECT_EQ(Query->FieldByName("ITEM_START_ID").AsInteger(), 10);
  Transaction.Rollback();
  EXPECT_FALSE(Query->IsActive());
  EXPECT_TRUE(Query->Eof());

  Transaction.StartTransaction();
  Query->Open();
  EXPECT_EQ(Query->FieldByName("ITEM_START_ID").AsInteger(), 10);
  Query->Close();
  EXPECT_FALSE(Query->IsActive());
  Transaction.Commit();
}

TEST_F(tDBQueryTest, UpdateOfARowAnotherTransactionChangedMeanwhileIsADeadlock) {
  Database.Execute(
      "CREATE TABLE HELD_ROWS (ID INTEGER NOT NULL PRIMARY KEY, N INTEGER);"
      "INSERT INTO HELD_ROWS VALUES (9, 0);");
  tDBConnection other;
  other.DatabaseName = Database.ConnectionString();
  other.Parameters = Connection.Parameters;
  tDBTransaction otherTransaction(other);
  tDBQuery otherQuery(other, otherTransaction);
  other.Open();
  otherTransaction.StartTransaction();
  otherQuery.AddLine("update HELD_ROWS set N = 100 where ID = 9");
  otherQuery.Open();

  Connection.Open();
  Transaction.StartTransaction();
  otherTransaction.Commit();
  Query->AddLine("update HELD_ROWS set N = N + 1 where ID = 9");
  try {
    Query->Open();
    FAIL() << "no conflict";
  } catch (const tDBError& error) {
    EXPECT_NE(error.Message.find("deadlock"), std::string::npos) << error.Message;
    EXPECT_NE(error.Message.find("update conflicts with concurrent update"), std::string::npos)
        << error.Message;
  }
  Transaction.Rollback();
}

// A statement prepared once runs again with new values in later transactions;
// the bytes of a text value arrive unchanged, NUL and quotes included; a
// single-row select answers its first row or none; a new attachment prepares again.
TEST_F(tDBQueryTest, PreparedStatementRunsAgainWithNewValuesUntilTheAttachmentGoes) {
  Database.Execute(
      "INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 0, 10);"
      "INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (1, 1, 11);"
      "INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (2, 0, 20);");
  tDBTransaction reads(Connection);
  reads.ReadCommittedOnly = true;
  tDBQuery start(Connection, reads);
  start.AddLine("select first 1 *");
  start.AddLine("from MENU_GET_START_ITEM(?)");
  start.SingleRow = true;
  tDBQuery action(Connection, Transaction);
  action.AddLine("execute procedure menu_prot_actions(?,?,?)");

  const std::string key = std::string("a\0\"b'", 5) + kGreeting;
  Connection.Open();
  reads.StartTransaction();
  const std::vector<std::pair<int32_t, std::string>> expected = {
      {1, "10"}, {2, "20"}, {3, ""}, {2, "20"}};
  for (const auto& [menu, item] : expected) {
    start.SetParams({menu});
    start.Open();
    EXPECT_TRUE(start.IsPrepared());
    EXPECT_EQ(start.RecordCount(), item.empty() ? 0 : 1) << menu;
    EXPECT_EQ(start.FieldByName("ITEM_START_ID").AsString(), item) << menu;
    start.Close();

    Transaction.StartTransaction();
    action.SetParams({menu, -menu, key});
    action.Open();
    Transaction.Commit();
    EXPECT_TRUE(action.IsPrepared());
  }
  reads.Commit();
  EXPECT_TRUE(start.IsPrepared());
  Connection.Close();
  EXPECT_FALSE(start.IsPrepared());
  EXPECT_FALSE(action.IsPrepared());

  EXPECT_EQ(
      Database.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE OCTET_LENGTH(ITEM_KEY) = " +
                          std::to_string(key.size()) +
                          " AND ITEM_KEY = 'a' || ASCII_CHAR(0) || '\"b''" + kGreeting + "';"),
      "4");

  Connection.Open();
  reads.StartTransaction();
  start.SetParams({1});
  start.Open();
  EXPECT_EQ(start.FieldByName("ITEM_START_ID").AsInteger(), 10);
  start.SetParams({1, 2});
  EXPECT_THROW(start.Open(), tDBError);
}

}  // namespace
