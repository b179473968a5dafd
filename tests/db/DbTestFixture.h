#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBQuery.h"
#include "dynmenu/db/tDBTransaction.h"
#include "support/TestDatabase.h"

// A fresh database and the three layer objects: a connection, a
// transaction on it, and one query bound to both.
class DbTest : public ::testing::Test {
 protected:
  explicit DbTest(const std::string& host = TestDatabase::ServerUnderTest()) : Database(host) {
    Connection.DatabaseName = Database.ConnectionString();
    Connection.Parameters = {
        .User = TestDatabase::User(), .Password = TestDatabase::Password(), .Charset = "WIN1251"};
    Query = std::make_unique<tDBQuery>(Connection, Transaction);
  }

  void OpenSelect(const std::string& procedureCall) {
    if (!Connection.IsConnected()) Connection.Open();
    if (!Transaction.InTransaction()) Transaction.StartTransaction();
    Query->ClearText();
    Query->AddLine("select *");
    Query->AddLine("from " + procedureCall);
    Query->Open();
  }

  TestDatabase Database;
  tDBConnection Connection;
  tDBTransaction Transaction{Connection};
  std::unique_ptr<tDBQuery> Query;
};
