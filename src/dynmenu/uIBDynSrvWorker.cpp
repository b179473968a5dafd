#include "dynmenu/uIBDynSrvWorker.h"

#include <charconv>
#include <exception>

#include "dynmenu/db/tFbClientApi.h"
#include "worker/uFormat.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInName.h"

namespace {
constexpr const char* ConfigSection = "Main";
constexpr int32_t DefaultTimeoutSeconds = 5;

// A whole number of seconds, 0 or more; absent or anything else gives the default.
int32_t ReadSeconds(const tIniFile& config, const std::string& key) {
  const std::string text = config.ReadString(ConfigSection, key, "");
  int32_t seconds = 0;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(text.data(), last, seconds);
  if (text.empty() || error != std::errc() || end != last || seconds < 0)
    return DefaultTimeoutSeconds;
  return seconds;
}
}  // namespace

tIB_DynMenuWorker::tIB_DynMenuWorker() {
  Name = PlugInName();
}

tIB_DynMenuWorker::~tIB_DynMenuWorker() = default;

void tIB_DynMenuWorker::ReadConfig(std::string& ConfigPath) {
  Status = Status_OK;
  tDBConnection& database = MenuDatabase.Connection();
  if (database.TestConnected()) return;
  if (!database.DatabaseName.empty()) WriteLog("No database connection!");
  tPlugInWorker::ReadConfig(ConfigPath);
  if (Status == Status_Error) return;
  try {
    ApplySettingsAndConnect();
  } catch (const std::exception& error) {
    Status = Status_Error;
    WriteLog(Format("Exception while initializing worker %s: %s", Name.c_str(), error.what()));
  }
  MenuDatabase.RetryCount = 0;
}

void tIB_DynMenuWorker::ApplySettingsAndConnect() {
  const std::string dbName = Config->ReadString(ConfigSection, "DBName", "");
  const std::string dbUser = Config->ReadString(ConfigSection, "DBUser", "");
  const std::string dbPassword = Config->ReadString(ConfigSection, "DBPWD", "");
  const std::string charset = Config->ReadString(ConfigSection, "lc_ctype", "WIN1251");
  MenuDatabase.ConnectTimeout = ReadSeconds(*Config, "ConnectTimeout");
  MenuDatabase.WriteTransaction().LockTimeout = ReadSeconds(*Config, "LockTimeout");
  WriteLog("Config settings read!");
  if (dbName.empty() || dbUser.empty()) {
    Status = Status_Error;
    WriteLog(Format("Error: empty DB params DBName=\"%s\" DBUser=\"%s\"", dbName.c_str(),
                    dbUser.c_str()));
    return;
  }
  tDBConnection& database = MenuDatabase.Connection();
  database.DatabaseName = dbName;
  database.SQLDialect = 1;
  database.SetParam("user_name", dbUser);
  database.SetParam("password", dbPassword);
  database.SetParam("lc_ctype", charset);
  // 0 sends no time-out: the client library's own applies.
  const int32_t connectTimeout = MenuDatabase.ConnectTimeout;
  database.SetParam("connect_timeout", connectTimeout > 0 ? std::to_string(connectTimeout) : "");
  WriteLog("Opening database connection");
  database.Open();
  WriteLog("Connected to " + dbName + " as " + dbUser);
  WriteLog("Init SUCCESS. Ready To Work");
  Status = Status_OK;
}

void tIB_DynMenuWorker::Initialize() {
  // Each Init_Plugin gives a client library put in place since the last a chance.
  RetryMissingFbClient();
  tPlugInWorker::Initialize();
  if (Status != Status_OK) return;
  std::string scratch;
  ReadConfig(scratch);
}

void tIB_DynMenuWorker::Finalize() {
  try {
    if (MenuDatabase.InTransaction()) MenuDatabase.Rollback();
    if (MenuDatabase.Connection().IsConnected()) {
      MenuDatabase.Connection().Close();
      WriteLog("Finalize Close Database connection.");
    }
  } catch (...) {
  }
  tPlugInWorker::Finalize();
}
