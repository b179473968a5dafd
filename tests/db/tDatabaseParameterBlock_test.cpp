#include "dynmenu/db/tDatabaseParameterBlock.h"

#include <gtest/gtest.h>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDBQuery.h"
#include "dynmenu/db/tDBTransaction.h"

namespace {

// isc_dpb_set_bind, its length and the legacy forms of Firebird 4's types.
const std::string LegacyTypes = "\x5d\x39int128 to legacy; decfloat to legacy; time zone to legacy";

TEST(tDatabaseParameterBlock, HoldsVersionThenItemsInOrderAndNoPasswordWhenEmpty) {
  const std::string expected("\x01\x1c\x06SYSDBA\x30\x07WIN1251", 18);
  EXPECT_EQ(BuildDatabaseParameterBlock({.User = "SYSDBA", .Password = "", .Charset = "WIN1251"}),
            expected + LegacyTypes);
}

TEST(tDatabaseParameterBlock, SendsTheConnectTimeoutAsAFourByteNumber) {
  EXPECT_EQ(BuildDatabaseParameterBlock({.ConnectTimeout = 300}),
            std::string("\x01\x39\x04\x2c\x01\x00\x00", 7) + LegacyTypes);
  EXPECT_EQ(BuildDatabaseParameterBlock({.ConnectTimeout = 0}), "\x01" + LegacyTypes);
}

TEST(tDatabaseParameterBlock, CarriesPasswordBytesAndValueEqualsSigns) {
  const std::string block = BuildDatabaseParameterBlock({.Password = "a=b\xcf"});
  EXPECT_EQ(block, std::string("\x01\x1d\x04"
                               "a=b\xcf",
                               7) +
                       LegacyTypes);
}

TEST(tDatabaseParameterBlock, RefusesWhatCannotBeEncoded) {
  EXPECT_THROW(BuildDatabaseParameterBlock({.User = std::string(256, 'u')}), tDBError);
  EXPECT_NO_THROW(BuildDatabaseParameterBlock({.User = std::string(255, 'u')}));
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
