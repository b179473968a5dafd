#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A fresh menu database on the server under test (dialect 1, default
// character set WIN1251, tables and procedures of sql/schema.sql, no rows), in
// a temporary folder owned by the firebird user; removed again on destruction.
// Needs that server running (the system's Firebird 3, scripts/firebird-server.sh
// start, unless the environment names another), which builds the schema; the
// database itself is opened through the server named by host.
//
// The environment names the server under test: KALVOR_FIREBIRD_ADDRESS
// (default localhost), KALVOR_FIREBIRD_PORT (default none: the client's) and
// KALVOR_FIREBIRD_PASSWORD_FILE, SYSDBA's password in the form Debian's
// packages write (default /etc/firebird/3.0/SYSDBA.password).
class TestDatabase {
 public:
  // host: ServerUnderTest() or PrivateFirebirdServer::Host().
  explicit TestDatabase(const std::string& host = ServerUnderTest());
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // "host:/tmp/.../menu.fdb", for tDBConnection::DatabaseName.
  const std::string& ConnectionString() const { return ConnectionString_; }
  const std::filesystem::path& FilePath() const { return FilePath_; }
  static std::string User() { return "SYSDBA"; }
  static std::string Password();
  // "address" or "address/port", the part of a connection string before ":path".
  static std::string ServerUnderTest();
  // The environment names a server other than the system's Firebird 3.
  static bool ServerIsNamed();

  // Runs SQL statements (each ending in ";", texts in Windows-1251) through
  // isql-fb and commits them. Raises std::runtime_error with isql's output.
  void Execute(const std::string& statements) const;
  // The first value of the first row of a select, trimmed; "<null>" for NULL.
  std::string QueryValue(const std::string& select) const;
  // Every row of a select as isql prints it, trimmed, one line per row.
  std::vector<std::string> QueryRows(const std::string& select) const;
  // The server's version, "3.0.11" or "4.0.5".
  std::string EngineVersion() const;
  // Runs an SQL script file such as sql/demo-data.sql.
  void RunScript(const std::filesystem::path& script) const;

 private:
  std::string RunIsql(const std::filesystem::path& script) const;
  std::filesystem::path WriteScript(const std::string& text) const;

  std::filesystem::path Folder_;
  std::filesystem::path FilePath_;
  std::string ConnectionString_;
};
