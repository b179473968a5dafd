#include "dynmenu/db/tDatabaseParameterBlock.h"

#include <gtest/gtest.h>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDBQuery.h"
#include "dynmenu/db/tDBTransaction.h"

namespace {

using Params = std::vector<std::string>;

TEST(tDBConnectionParams, SetReplacesInPlaceAppendsAndRemovesOnEmptyValue) {
  tDBConnection connection;
  connection.SetParam("user_name", "SYSDBA");
  connection.SetParam("password", "secret");
  connection.SetParam("lc_ctype", "WIN1251");
  connection.SetParam("user_name", "MENU");
  EXPECT_EQ(connection.Params(), (Params{"user_name=MENU", "password=secret", "lc_ctype=WIN1251"}));

  connection.SetParam("password", "");
  EXPECT_EQ(connection.Params(), (Params{"user_name=MENU", "lc_ctype=WIN1251"}));
  connection.SetParam("password", "");
  EXPECT_EQ(connection.Params().size(), 2u);
}

TEST(tDatabaseParameterBlock, HoldsVersionThenItemsInOrderAndNoPasswordWhenEmpty) {
  tDBConnection connection;
  connection.SetParam("user_name", "SYSDBA");
  connection.SetParam("password", "");
  connection.SetParam("lc_ctype", "WIN1251");

  const std::string expected("\x01\x1c\x06SYSDBA\x30\x07WIN1251", 18);
  EXPECT_EQ(BuildDatabaseParameterBlock(connection.Params()), expected);
}

TEST(tDatabaseParameterBlock, SendsTheConnectTimeoutAsAFourByteNumber) {
  EXPECT_EQ(BuildDatabaseParameterBlock({"connect_timeout=300"}),
            std::string("\x01\x39\x04\x2c\x01\x00\x00", 7));
  EXPECT_THROW(BuildDatabaseParameterBlock({"connect_timeout=5s"}), tDBError);
}

TEST(tDatabaseParameterBlock, CarriesPasswordBytesAndValueEqualsSigns) {
  const std::string block = BuildDatabaseParameterBlock({"password=a=b\xcf"});
  EXPECT_EQ(block, std::string("\x01\x1d\x04"
                               "a=b\xcf",
                               7));
}

TEST(tDatabaseParameterBlock, RefusesWhatCannotBeEncoded) {
  EXPECT_THROW(BuildDatabaseParameterBlock({"role=ADMIN"}), tDBError);
  EXPECT_THROW(BuildDatabaseParameterBlock({"user_name"}), tDBError);
  EXPECT_THROW(BuildDatabaseParameterBlock({"user_name=" + std::string(256, 'u')}), tDBError);
  EXPECT_NO_THROW(BuildDatabaseParameterBlock({"user_name=" + std::string(255, 'u')}));
}

TEST(tDBConnectionOpen, EmptyDatabaseNameIsRefusedWithoutCallingTheLibrary) {
  tDBConnection connection;
  try {
    connection.Open();
    FAIL() << "Open succeeded";
  } catch (const tDBError& error) {
    EXPECT_EQ(error.Message, "Database name is missing");
    EXPECT_STREQ(error.what(), "Database name is missing");
  }
  EXPECT_FALSE(connection.IsConnected());
}

TEST(tDBQueryText, EveryLineEndsWithCrLf) {
  tDBConnection connection;
  tDBTransaction transaction(connection);
  tDBQuery query(connection, transaction);
  query.AddLine("select *");
  query.AddLine("from MENU_GET_ITEM(-1)");
  EXPECT_EQ(query.Text(), "select *\r\nfrom MENU_GET_ITEM(-1)\r\n");
  query.ClearText();
  EXPECT_EQ(query.Text(), "");
}

}  // namespace
