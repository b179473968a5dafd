#include "support/TestDatabase.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "support/ShellCommand.h"

namespace {

const char kSystemPasswordFile[] = "/etc/firebird/3.0/SYSDBA.password";

std::string Environment(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

std::filesystem::path UniqueFolder() {
  std::random_device seed;
  const auto folder = std::filesystem::temp_directory_path() /
                      ("kalvor-db-" + std::to_string(seed()) + "-" + std::to_string(seed()));
  std::filesystem::create_directories(folder);
  return folder;
}

void RunOrThrow(const std::string& commandLine) {
  const ShellResult result = RunShellCommand(commandLine);
  if (!result.Succeeded) throw std::runtime_error(commandLine + " failed: " + result.Output);
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

namespace {

// The schema is built once per test process, through the server, and copied
// for each database; building it takes seconds, a copy milliseconds.
class SchemaTemplate {
 public:
  SchemaTemplate() : Folder_(UniqueFolder()), FilePath_(Folder_ / "template.fdb") {
    try {
      RunOrThrow("chown firebird:firebird " + ShellQuoted(Folder_.string()));
      const std::string connection = TestDatabase::ServerUnderTest() + ":" + FilePath_.string();
      const auto create = Folder_ / "create.sql";
      std::ofstream(create, std::ios::binary)
          << "CREATE DATABASE '" << connection << "' USER '" << TestDatabase::User()
          << "' PASSWORD '" << TestDatabase::Password() << "' DEFAULT CHARACTER SET WIN1251;\n";
      RunOrThrow("isql-fb -q -bail -sqldialect 1 -i " + ShellQuoted(create.string()));
      const auto schema = std::filesystem::path(KALVOR_SOURCE_DIR) / "sql" / "schema.sql";
      RunOrThrow("isql-fb -q -bail -charset WIN1251 -user " + TestDatabase::User() + " -password " +
                 ShellQuoted(TestDatabase::Password()) + " -i " + ShellQuoted(schema.string()) +
                 " " + ShellQuoted(connection));
    } catch (...) {
      std::error_code ignored;
      std::filesystem::remove_all(Folder_, ignored);
      throw;
    }
  }
  ~SchemaTemplate() {
    std::error_code ignored;
    std::filesystem::remove_all(Folder_, ignored);
  }

  const std::filesystem::path& FilePath() const { return FilePath_; }

 private:
  std::filesystem::path Folder_;
  std::filesystem::path FilePath_;
};

const SchemaTemplate& Template() {
  static const SchemaTemplate schemaTemplate;
  return schemaTemplate;
}

}  // namespace

TestDatabase::TestDatabase(const std::string& host) : Folder_(UniqueFolder()) {
  FilePath_ = Folder_ / "menu.fdb";
  ConnectionString_ = host + ":" + FilePath_.string();
  try {
    std::filesystem::copy_file(Template().FilePath(), FilePath_);
    // The server runs as "firebird" and must be able to write both.
    RunOrThrow("chown -R firebird:firebird " + ShellQuoted(Folder_.string()));
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(Folder_, ignored);
    throw;
  }
}

TestDatabase::~TestDatabase() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder_, ignored);
}

std::string TestDatabase::ServerUnderTest() {
  const std::string port = Environment("KALVOR_FIREBIRD_PORT", "");
  return Environment("KALVOR_FIREBIRD_ADDRESS", "localhost") + (port.empty() ? "" : "/" + port);
}

bool TestDatabase::ServerIsNamed() {
  return ServerUnderTest() != "localhost";
}

std::string TestDatabase::Password() {
  const std::string passwordFile =
      Environment("KALVOR_FIREBIRD_PASSWORD_FILE", kSystemPasswordFile);
  std::ifstream file(passwordFile);
  std::string line;
  const std::string key = "ISC_PASSWORD=";
  while (std::getline(file, line)) {
    if (!line.starts_with(key)) continue;
    std::string value = Trim(line.substr(key.size()));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    return value;
  }
  throw std::runtime_error("no ISC_PASSWORD in " + passwordFile);
}

void TestDatabase::Execute(const std::string& statements) const {
  RunIsql(WriteScript(statements + "\nCOMMIT;\n"));
}

std::string TestDatabase::QueryValue(const std::string& select) const {
  const std::vector<std::string> rows = QueryRows(select);
  if (rows.empty()) throw std::runtime_error("no row for: " + select);
  return rows.front().substr(0, rows.front().find_first_of(" \t"));
}

std::vector<std::string> TestDatabase::QueryRows(const std::string& select) const {
  const std::string output = RunIsql(WriteScript("SET HEADING OFF;\n" + select + "\n"));
  std::istringstream lines(output);
  std::vector<std::string> rows;
  std::string line;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (!line.empty()) rows.push_back(line);
  }
  return rows;
}

std::string TestDatabase::EngineVersion() const {
  return QueryValue("SELECT RDB$GET_CONTEXT('SYSTEM', 'ENGINE_VERSION') FROM RDB$DATABASE;");
}

void TestDatabase::RunScript(const std::filesystem::path& script) const {
  RunIsql(script);
}

std::string TestDatabase::RunIsql(const std::filesystem::path& script) const {
  const std::string commandLine = "isql-fb -q -bail -charset WIN1251 -user " + User() +
                                  " -password " + ShellQuoted(Password()) + " -i " +
                                  ShellQuoted(script.string()) + " " +
                                  ShellQuoted(ConnectionString_);
  const ShellResult result = RunShellCommand(commandLine);
  if (!result.Succeeded) throw std::runtime_error("isql-fb failed: " + result.Output);
  return result.Output;
}

std::filesystem::path TestDatabase::WriteScript(const std::string& text) const {
  static std::atomic<int> counter{0};
  const auto path = Folder_ / ("script-" + std::to_string(++counter) + ".sql");
  std::ofstream(path, std::ios::binary) << text;
  return path;
}
