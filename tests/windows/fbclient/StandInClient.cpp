// A stand-in for the Firebird client library, built as fbclient.dll for the
// Windows suite: the six menu procedures answer canned rows (StandInControl.h),
// and a test can make the next statement fail with a deadlock or a lost
// connection. Only the calls the plugin makes are served.
#include <ibase.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "StandInControl.h"

namespace {

struct tCell {
  bool Null = true;
  int32_t Number = 0;
  std::string Text;
};
tCell Number(int32_t value) {
  return {false, value, {}};
}
tCell Text(const char* value) {
  return {false, 0, value};
}
const tCell Null{};

struct tColumn {
  const char* Name;
  short TextLength;  // 0 for an integer column
};

using tRows = std::vector<std::vector<tCell>>;

struct tProcedure {
  const char* Name;
  std::vector<tColumn> Columns;
  std::map<int32_t, tRows> RowsByArgument;
};

const std::vector<tProcedure>& Procedures() {
  using namespace StandIn;
  static const std::vector<tProcedure> procedures{
      {"MENU_GET_START_ITEM", {{"ITEM_START_ID", 0}}, {{MenuId, {{Number(StartItemId)}}}}},
      {"MENU_GET_ITEM",
       {{"MENU_SERVICE_ID", 0},
        {"MENU_CONNECTION_ID", 0},
        {"MENU_ITEM_NAME", 1000},
        {"MENU_CONNECTION_NAME", 1000}},
       {{VoiceItemId, {{Number(1), Number(ConnectionId), Text(Greeting), Text(MainMenu)}}},
        {ConditionItemId, {{Number(2), Null, Text(CheckHours), Null}}}}},
      {"MENU_GET_VOICE_ITEM_PARAMS",
       {{"ITEM_SYNTHEZ_LIST", 4000},
        {"ITEM_MACRO_NAME", 1000},
        {"ITEM_SYNTHEZ_PLACE", 0},
        {"ITEM_REPEAT_COUNT", 0},
        {"ITEM_TIMEOUT", 0}},
       {{VoiceItemId, {{Text(Hello), Text(Macro), Number(SynthezPlace), Null, Number(Timeout)}}}}},
      {"MENU_GET_COND_ITEM_PARAMS",
       {{"CONDITION_PROCESSOR_NAME", 1000}, {"CONDITION_DATA", 4000}},
       {{ConditionItemId, {{Text(Processor), Text(ConditionData)}}}}},
      {"MENU_GET_CONNECTION",
       {{"CONNECTION_KEY", 1000}, {"CONNECTION_ITEM_ID", 0}, {"CONNECTION_WAY_DESC", 4000}},
       {{ConnectionId,
         {{Text(Rows[0].Key), Number(Rows[0].ItemId), Text(Rows[0].WayDesc)},
          {Text(Rows[1].Key), Number(Rows[1].ItemId), Text(Rows[1].WayDesc)}}}}},
  };
  return procedures;
}

const char* const ActionProcedure = "execute procedure menu_prot_actions(";
constexpr ISC_STATUS NoMoreRows = 100;

struct tStatement {
  uintptr_t Attachment = 0;
  const tProcedure* Procedure = nullptr;  // null for the action procedure
  int32_t Argument = 0;
  std::string Text;
  size_t NextRow = 0;
  bool Executed = false;
};

std::mutex Lock;
uintptr_t NextId = 1;
std::map<uintptr_t, bool> Attachments;        // id, alive
std::map<uintptr_t, uintptr_t> Transactions;  // id, attachment
std::map<uintptr_t, tStatement> Statements;
int PendingFailure = 0;
int AttachmentsMade = 0;
std::string LastDatabaseName;
std::string LastProcedureCall;

uintptr_t Id(FB_API_HANDLE handle) {
  return (uintptr_t)handle;
}
FB_API_HANDLE Handle(uintptr_t id) {
  return (FB_API_HANDLE)id;
}

ISC_STATUS Report(ISC_STATUS* status, std::initializer_list<ISC_STATUS> codes) {
  ISC_STATUS* out = status;
  for (ISC_STATUS code : codes) {
    *out++ = isc_arg_gds;
    *out++ = code;
  }
  *out = isc_arg_end;
  return status[1];
}
ISC_STATUS Succeed(ISC_STATUS* status) {
  return Report(status, {0});
}
ISC_STATUS NetworkError(ISC_STATUS* status) {
  return Report(status, {isc_network_error, isc_net_read_err});
}
ISC_STATUS UnknownHandle(ISC_STATUS* status) {
  return Report(status, {isc_bad_db_handle});
}

bool Alive(uintptr_t attachment) {
  const auto found = Attachments.find(attachment);
  return found != Attachments.end() && found->second;
}

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// "select * from NAME(number)" or the action procedure; false for anything else.
bool Parse(const std::string& text, tStatement& statement) {
  statement.Text = text;
  if (text.rfind(ActionProcedure, 0) == 0) return true;
  const std::string upper = UpperCase(text);
  const size_t from = upper.find("FROM ");
  const size_t open = upper.find('(', from);
  if (upper.rfind("SELECT *", 0) != 0 || from == std::string::npos || open == std::string::npos)
    return false;
  const std::string name = upper.substr(from + 5, open - from - 5);
  for (const tProcedure& procedure : Procedures())
    if (name == procedure.Name) statement.Procedure = &procedure;
  statement.Argument = std::atoi(text.c_str() + open + 1);
  return statement.Procedure != nullptr;
}

const tRows& RowsOf(const tStatement& statement) {
  static const tRows none;
  const auto found = statement.Procedure->RowsByArgument.find(statement.Argument);
  return found == statement.Procedure->RowsByArgument.end() ? none : found->second;
}

void Describe(const tColumn& column, XSQLVAR& var) {
  var.sqltype = static_cast<ISC_SHORT>((column.TextLength > 0 ? SQL_VARYING : SQL_LONG) | 1);
  var.sqllen = column.TextLength > 0 ? column.TextLength : 4;
  var.sqlscale = 0;
  var.sqlsubtype = 0;
  var.sqlname_length = static_cast<ISC_SHORT>(std::strlen(column.Name));
  std::snprintf(var.sqlname, sizeof var.sqlname, "%s", column.Name);
  var.aliasname_length = var.sqlname_length;
  std::snprintf(var.aliasname, sizeof var.aliasname, "%s", column.Name);
}

void Fill(const tCell& cell, const XSQLVAR& var) {
  *var.sqlind = cell.Null ? -1 : 0;
  if (cell.Null) return;
  if ((var.sqltype & ~1) == SQL_LONG) {
    std::memcpy(var.sqldata, &cell.Number, sizeof cell.Number);
    return;
  }
  const short length = static_cast<short>(std::min<size_t>(cell.Text.size(), var.sqllen));
  std::memcpy(var.sqldata, &length, sizeof length);
  std::memcpy(var.sqldata + sizeof length, cell.Text.data(), static_cast<size_t>(length));
}

// Runs the failure a test asked for, if any; true when the execution failed.
bool InjectedFailure(ISC_STATUS* status, ISC_STATUS& result) {
  const int failure = PendingFailure;
  PendingFailure = 0;
  if (failure == StandIn::Deadlock) {
    result = Report(status, {isc_deadlock, isc_update_conflict});
    return true;
  }
  if (failure == StandIn::LostConnection) {
    for (auto& attachment : Attachments) attachment.second = false;
    result = NetworkError(status);
    return true;
  }
  return false;
}

ISC_STATUS Execute(ISC_STATUS* status, isc_tr_handle* transaction, isc_stmt_handle* handle) {
  std::lock_guard guard(Lock);
  const auto statement = Statements.find(Id(*handle));
  const auto owner = Transactions.find(Id(*transaction));
  if (statement == Statements.end() || owner == Transactions.end()) return UnknownHandle(status);
  if (!Alive(owner->second)) return NetworkError(status);
  ISC_STATUS result = 0;
  if (InjectedFailure(status, result)) return result;
  statement->second.Executed = true;
  statement->second.NextRow = 0;
  if (statement->second.Procedure == nullptr) LastProcedureCall = statement->second.Text;
  return Succeed(status);
}

const char* TextOf(ISC_STATUS code) {
  switch (code) {
    case isc_network_error:
      return "Unable to complete network request to host \"127.0.0.1\"";
    case isc_net_read_err:
      return "Error reading data from the connection";
    case isc_deadlock:
      return "deadlock";
    case isc_update_conflict:
      return "update conflicts with concurrent update";
    case isc_bad_db_handle:
      return "invalid database handle (no active connection)";
    case isc_dsql_error:
      return "Dynamic SQL Error";
    default:
      return "stand-in client: unsupported call";
  }
}

}  // namespace

extern "C" {

ISC_STATUS ISC_EXPORT isc_attach_database(ISC_STATUS* status, short nameLength,
                                          const ISC_SCHAR* name, isc_db_handle* handle, short,
                                          const ISC_SCHAR*) {
  std::lock_guard guard(Lock);
  LastDatabaseName = nameLength > 0 ? std::string(name, static_cast<size_t>(nameLength)) : name;
  const uintptr_t id = NextId++;
  Attachments[id] = true;
  ++AttachmentsMade;
  *handle = Handle(id);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_detach_database(ISC_STATUS* status, isc_db_handle* handle) {
  std::lock_guard guard(Lock);
  const bool alive = Alive(Id(*handle));
  Attachments.erase(Id(*handle));
  *handle = Handle(0);
  return alive ? Succeed(status) : NetworkError(status);
}

ISC_STATUS ISC_EXPORT isc_database_info(ISC_STATUS* status, isc_db_handle* handle, short,
                                        const ISC_SCHAR*, short room, ISC_SCHAR* answer) {
  std::lock_guard guard(Lock);
  if (!Alive(Id(*handle))) return NetworkError(status);
  if (room > 0) answer[0] = isc_info_end;
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_start_multiple(ISC_STATUS* status, isc_tr_handle* handle, short,
                                         void* existence) {
  // The first entry of the existence block is the attachment's handle address.
  isc_db_handle* attachment = *static_cast<isc_db_handle**>(existence);
  std::lock_guard guard(Lock);
  if (!Alive(Id(*attachment))) return NetworkError(status);
  const uintptr_t id = NextId++;
  Transactions[id] = Id(*attachment);
  *handle = Handle(id);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_commit_transaction(ISC_STATUS* status, isc_tr_handle* handle) {
  std::lock_guard guard(Lock);
  const auto found = Transactions.find(Id(*handle));
  if (found == Transactions.end()) return UnknownHandle(status);
  if (!Alive(found->second)) return NetworkError(status);
  Transactions.erase(found);
  *handle = Handle(0);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_rollback_transaction(ISC_STATUS* status, isc_tr_handle* handle) {
  return isc_commit_transaction(status, handle);
}

// Lets go of the handle whatever became of the transaction.
ISC_STATUS ISC_EXPORT fb_disconnect_transaction(ISC_STATUS* status, isc_tr_handle* handle) {
  std::lock_guard guard(Lock);
  Transactions.erase(Id(*handle));
  *handle = Handle(0);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_allocate_statement(ISC_STATUS* status, isc_db_handle* attachment,
                                                  isc_stmt_handle* handle) {
  std::lock_guard guard(Lock);
  if (!Alive(Id(*attachment))) return NetworkError(status);
  const uintptr_t id = NextId++;
  Statements[id].Attachment = Id(*attachment);
  *handle = Handle(id);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle*, isc_stmt_handle* handle,
                                       unsigned short, const ISC_SCHAR* text, unsigned short,
                                       XSQLDA*) {
  std::lock_guard guard(Lock);
  const auto statement = Statements.find(Id(*handle));
  if (statement == Statements.end()) return UnknownHandle(status);
  if (!Alive(statement->second.Attachment)) return NetworkError(status);
  // The plugin sends its lines each ended by CR LF; the stand-in reads them as one.
  std::string plain(text);
  plain.erase(std::remove(plain.begin(), plain.end(), '\r'), plain.end());
  std::replace(plain.begin(), plain.end(), '\n', ' ');
  while (!plain.empty() && plain.back() == ' ') plain.pop_back();
  if (!Parse(plain, statement->second)) return Report(status, {isc_dsql_error});
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_describe(ISC_STATUS* status, isc_stmt_handle* handle, unsigned short,
                                        XSQLDA* area) {
  std::lock_guard guard(Lock);
  const auto statement = Statements.find(Id(*handle));
  if (statement == Statements.end()) return UnknownHandle(status);
  const tProcedure* procedure = statement->second.Procedure;
  const size_t count = procedure == nullptr ? 0 : procedure->Columns.size();
  area->sqld = static_cast<ISC_SHORT>(count);
  if (static_cast<size_t>(area->sqln) >= count)
    for (size_t index = 0; index < count; ++index)
      Describe(procedure->Columns[index], area->sqlvar[index]);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_sql_info(ISC_STATUS* status, isc_stmt_handle* handle, short,
                                        const ISC_SCHAR*, short room, ISC_SCHAR* answer) {
  std::lock_guard guard(Lock);
  const auto statement = Statements.find(Id(*handle));
  if (statement == Statements.end() || room < 8) return UnknownHandle(status);
  const char type = statement->second.Procedure != nullptr ? isc_info_sql_stmt_select
                                                           : isc_info_sql_stmt_exec_procedure;
  const char info[] = {isc_info_sql_stmt_type, 4, 0, type, 0, 0, 0, isc_info_end};
  std::memcpy(answer, info, sizeof info);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute(ISC_STATUS* status, isc_tr_handle* transaction,
                                       isc_stmt_handle* handle, unsigned short, const XSQLDA*) {
  return Execute(status, transaction, handle);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute2(ISC_STATUS* status, isc_tr_handle* transaction,
                                        isc_stmt_handle* handle, unsigned short, const XSQLDA*,
                                        const XSQLDA*) {
  return Execute(status, transaction, handle);
}

ISC_STATUS ISC_EXPORT isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle* handle, unsigned short,
                                     const XSQLDA* area) {
  std::lock_guard guard(Lock);
  const auto found = Statements.find(Id(*handle));
  if (found == Statements.end() || !found->second.Executed) return UnknownHandle(status);
  tStatement& statement = found->second;
  if (!Alive(statement.Attachment)) return NetworkError(status);
  const tRows& rows = RowsOf(statement);
  if (statement.NextRow >= rows.size()) return NoMoreRows;
  const auto& row = rows[statement.NextRow++];
  for (size_t index = 0; index < row.size(); ++index) Fill(row[index], area->sqlvar[index]);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* handle,
                                              unsigned short) {
  std::lock_guard guard(Lock);
  Statements.erase(Id(*handle));
  *handle = Handle(0);
  return Succeed(status);
}

// The menu procedures return no blobs.
ISC_STATUS ISC_EXPORT isc_open_blob2(ISC_STATUS* status, isc_db_handle*, isc_tr_handle*,
                                     isc_blob_handle*, ISC_QUAD*, ISC_USHORT, const ISC_UCHAR*) {
  return Report(status, {isc_random});
}

ISC_STATUS ISC_EXPORT isc_get_segment(ISC_STATUS* status, isc_blob_handle*, unsigned short*,
                                      unsigned short, ISC_SCHAR*) {
  return Report(status, {isc_random});
}

ISC_STATUS ISC_EXPORT isc_close_blob(ISC_STATUS* status, isc_blob_handle*) {
  return Report(status, {isc_random});
}

ISC_LONG ISC_EXPORT isc_sqlcode(const ISC_STATUS* status) {
  if (status[1] == isc_network_error) return -902;
  if (status[1] == isc_deadlock) return -913;
  return -901;
}

ISC_LONG ISC_EXPORT fb_interpret(ISC_SCHAR* buffer, unsigned int room, const ISC_STATUS** cursor) {
  const ISC_STATUS* entry = *cursor;
  if (entry[0] != isc_arg_gds || entry[1] == 0) return 0;
  std::snprintf(buffer, room, "%s", TextOf(entry[1]));
  *cursor = entry + 2;
  return static_cast<ISC_LONG>(std::strlen(buffer));
}

void StandIn_FailNextExecution(int failure) {
  std::lock_guard guard(Lock);
  PendingFailure = failure;
}

int StandIn_Attachments() {
  std::lock_guard guard(Lock);
  return AttachmentsMade;
}

namespace {
int CopyOut(const std::string& value, char* text, int room) {
  std::lock_guard guard(Lock);
  std::snprintf(text, static_cast<size_t>(room), "%s", value.c_str());
  return static_cast<int>(value.size());
}
}  // namespace

int StandIn_LastProcedureCall(char* text, int room) {
  return CopyOut(LastProcedureCall, text, room);
}

int StandIn_LastDatabaseName(char* text, int room) {
  return CopyOut(LastDatabaseName, text, room);
}

}  // extern "C"
