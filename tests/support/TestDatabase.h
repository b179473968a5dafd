#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A fresh menu database on the local server (dialect 1, default character set
// WIN1251, tables and procedures of sql/schema.sql, no rows), in a temporary
// folder owned by the firebird user; removed again on destruction. Needs the
// system server running (scripts/firebird-server.sh start), which builds the
// schema; the database itself is opened through the server named by host.
class TestDatabase {
 public:
  // host: "localhost" for the system server, PrivateFirebirdServer::Host()
  // for a private one.
  explicit TestDatabase(const std::string& host = "localhost");
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  // "host:/tmp/.../menu.fdb", for tDBConnection::DatabaseName.
  const std::string& ConnectionString() const { return ConnectionString_; }
  const std::filesystem::path& FilePath() const { return FilePath_; }
  static std::string User() { return "SYSDBA"; }
  // From /etc/firebird/3.0/SYSDBA.password.
  static std::string Password();

  // Runs SQL statements (each ending in ";", texts in Windows-1251) through
  // isql-fb and commits them. Raises std::runtime_error with isql's output.
  void Execute(const std::string& statements) const;
  // The first value of the first row of a select, trimmed; "<null>" for NULL.
  std::string QueryValue(const std::string& select) const;
  // Every row of a select as isql prints it, trimmed, one line per row.
  std::vector<std::string> QueryRows(const std::string& select) const;
  // Runs an SQL script file such as sql/demo-data.sql.
  void RunScript(const std::filesystem::path& script) const;

 private:
  std::string RunIsql(const std::filesystem::path& script) const;
  std::filesystem::path WriteScript(const std::string& text) const;

  std::filesystem::path Folder_;
  std::filesystem::path FilePath_;
  std::string ConnectionString_;
};
