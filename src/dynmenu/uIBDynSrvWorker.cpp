#include "dynmenu/uIBDynSrvWorker.h"

#include <exception>

#include "worker/uFormat.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInName.h"

namespace {
const std::string ConfigSection = "Main";
}  // namespace

tIB_DynMenuWorker::tIB_DynMenuWorker()
    : Database(std::make_unique<tDBConnection>()),
      Transaction(std::make_unique<tDBTransaction>(*Database)) {
  Name = PlugInName();
  Database->DefaultTransaction = Transaction.get();
  Query = std::make_unique<tDBQuery>(*Database);
}

tIB_DynMenuWorker::~tIB_DynMenuWorker() {
  Query.reset();
  Transaction.reset();
  Database.reset();
}

void tIB_DynMenuWorker::ReadConfig(std::string& ConfigPath) {
  Status = Status_OK;
  if (Database->TestConnected()) return;
  if (!Database->DatabaseName.empty()) WriteLog("No database connection!");
  tPlugInWorker::ReadConfig(ConfigPath);
  if (Status == Status_Error) return;
  try {
    ApplySettingsAndConnect();
  } catch (const std::exception& error) {
    Status = Status_Error;
    WriteLog(Format("Exception while initializing worker %s: %s", Name.c_str(), error.what()));
  }
  RetryCount = 0;
}

void tIB_DynMenuWorker::ApplySettingsAndConnect() {
  const std::string dbName = Config->ReadString(ConfigSection, "DBName", "");
  const std::string dbUser = Config->ReadString(ConfigSection, "DBUser", "");
  const std::string dbPassword = Config->ReadString(ConfigSection, "DBPWD", "");
  const std::string charset = Config->ReadString(ConfigSection, "lc_ctype", "WIN1251");
  WriteLog("Config settings read!");
  if (dbName.empty() || dbUser.empty()) {
    Status = Status_Error;
    WriteLog(Format("Error: empty DB params DBName=\"%s\" DBUser=\"%s\"", dbName.c_str(),
                    dbUser.c_str()));
    return;
  }
  Database->DatabaseName = dbName;
  Database->SQLDialect = 1;
  Database->SetParam("user_name", dbUser);
  Database->SetParam("password", dbPassword);
  Database->SetParam("lc_ctype", charset);
  WriteLog("Opening database connection");
  Database->Open();
  WriteLog("Connected to " + dbName + " as " + dbUser);
  WriteLog("Init SUCCESS. Ready To Work");
  Status = Status_OK;
}

void tIB_DynMenuWorker::Initialize() {
  tPlugInWorker::Initialize();
  if (Status != Status_OK) return;
  std::string scratch;
  ReadConfig(scratch);
}

void tIB_DynMenuWorker::Finalize() {
  try {
    if (Transaction->InTransaction()) Transaction->Rollback();
    if (Database->IsConnected()) {
      Database->Close();
      WriteLog("Finalize Close Database connection.");
    }
  } catch (...) {
  }
  tPlugInWorker::Finalize();
}
