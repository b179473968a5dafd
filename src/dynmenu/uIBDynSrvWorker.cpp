#include "dynmenu/uIBDynSrvWorker.h"

#include <exception>

#include "dynmenu/db/tBoundedAttach.h"
#include "dynmenu/db/tFbClientApi.h"
#include "log/tPlugInLog.h"
#include "log/uLogValue.h"
#include "platform/CharacterSets.h"
#include "platform/Format.h"
#include "platform/TextConversion.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInName.h"

namespace {
constexpr const char* ConfigSection = "Main";
constexpr int32_t DefaultTimeoutSeconds = 5;
constexpr int32_t DefaultRequestTimeoutSeconds = 10;

int32_t ReadSeconds(const tIniFile& config, const std::string& key,
                    int32_t defaultSeconds = DefaultTimeoutSeconds) {
  return ParseSeconds(config.ReadString(ConfigSection, key, ""), defaultSeconds);
}
}  // namespace

tIB_DynMenuWorker::tIB_DynMenuWorker(tPlugInLog& log, tHourlyFigures& figures,
                                     const tMenuDatabaseSettings& settings)
    : tPlugInWorker(log), Figures(figures) {
  Name = PlugInName();
  MenuDatabase.emplace(Log, Figures, settings);
}

tIB_DynMenuWorker::~tIB_DynMenuWorker() = default;

void tIB_DynMenuWorker::ReadConfig(std::string& ConfigPath) {
  Status = Status_OK;
  if (MenuDatabase->IsAlive()) return;
  if (!MenuDatabase->Settings().DatabaseName.empty()) Log.Write("No database connection!");
  tPlugInWorker::ReadConfig(ConfigPath);
  if (Status == Status_Error) return;
  try {
    ApplySettingsAndConnect();
  } catch (const std::exception& error) {
    Status = Status_Error;
    Log.WriteFailure(Format("Exception while initializing worker %s: %s", Name.c_str(),
                            LogValue(error.what()).c_str()));
  }
}

// Empty names keep the database the worker had; the time-outs apply either way.
void tIB_DynMenuWorker::ApplySettingsAndConnect() {
  tMenuDatabaseSettings settings = MenuDatabase->Settings();
  const std::string dbName = Config->ReadString(ConfigSection, "DBName", "");
  const std::string dbUser = Config->ReadString(ConfigSection, "DBUser", "");
  const std::string dbPassword = Config->ReadString(ConfigSection, "DBPWD", "");
  const std::string charset = Config->ReadString(ConfigSection, "lc_ctype", "WIN1251");
  settings.ConnectTimeout = ReadSeconds(*Config, "ConnectTimeout");
  settings.LockTimeout = ReadSeconds(*Config, "LockTimeout");
  settings.RequestTimeout = ReadSeconds(*Config, "RequestTimeout", DefaultRequestTimeoutSeconds);
  settings.CommandDeadline = CommandDeadline;
  Log.Write("Config settings read!");
  if (dbName.empty() || dbUser.empty()) {
    MenuDatabase.emplace(Log, Figures, settings);
    Status = Status_Error;
    Log.Write(Format("Error: empty DB params DBName=\"%s\" DBUser=\"%s\"", dbName.c_str(),
                     dbUser.c_str()));
    return;
  }
  settings.DatabaseName = dbName;
  settings.User = dbUser;
  settings.Password = dbPassword;
  settings.Charset = charset;
  MenuDatabase.emplace(Log, Figures, settings);
  if (const std::string client = FbClientLibraryPath(); !client.empty())
    Log.Write("Firebird client library loaded from " + client);
  Log.Write("Opening database connection");
  MenuDatabase->Open();
  Log.Write("Connected to " + dbName + " as " + dbUser);
  Log.Write("Init SUCCESS. Ready To Work");
  Status = Status_OK;
}

void tIB_DynMenuWorker::Initialize() {
  // Each Init_Plugin gives a client library put in place since the last a chance.
  RetryMissingFbClient();
  tPlugInWorker::Initialize();
}

void tIB_DynMenuWorker::Stopping() noexcept {
  MenuDatabase->EndWithinRequestTimeout();
}

std::optional<std::chrono::milliseconds> tIB_DynMenuWorker::BetweenCommands() noexcept {
  return MenuDatabase ? MenuDatabase->EndAgedRead() : std::nullopt;
}

void tIB_DynMenuWorker::Finalize() {
  try {
    if (MenuDatabase->Close()) Log.Write("Finalize Close Database connection.");
  } catch (...) {
  }
  tPlugInWorker::Finalize();
}

// The ini's values and the server's words are in the connection's character set.
void tIB_DynMenuWorker::ExpiredInQueue() noexcept {
  try {
    MenuDatabase->CommandFailed();
  } catch (...) {
  }
}

void tIB_DynMenuWorker::DescribeStatus(tStatusSnapshot& snapshot) const {
  tPlugInWorker::DescribeStatus(snapshot);
  const tMenuDatabaseSettings& settings = MenuDatabase->Settings();
  const tCharacterSet* set = FindCharacterSet(settings.Charset);
  const tCharacterSet& texts = set != nullptr ? *set : *FindCharacterSet("WIN1251");
  snapshot.Database = CharacterSetToUtf8(settings.DatabaseName, texts);
  snapshot.DatabaseUser = CharacterSetToUtf8(settings.User, texts);
  const tDatabaseReachability& reachability = MenuDatabase->Reachability();
  reachability.Describe(snapshot.Connection);
  snapshot.Connection.Reason = CharacterSetToUtf8(snapshot.Connection.Reason, texts);
  snapshot.DatabaseTotals.AttachesLeftBehind = static_cast<uint64_t>(AttachesLeftBehind());
}
