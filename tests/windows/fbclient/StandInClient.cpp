// A stand-in for the Firebird client library, built as fbclient.dll for the
// Windows suite: the menu procedures answer canned rows (StandInProcedures.h)
// to statements prepared with a "?" for each value, and a test can make the
// next statement execution fail with a deadlock or a lost connection. Only
// the calls the plugin makes are served, held to the server's rules where the
// plugin could break them: values bound through the input area, one row for a
// singleton select, cursors opened and closed in turn, no writes in a
// read-only transaction, an action recorded only once its transaction commits.
#include <ibase.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "StandInControl.h"
#include "StandInDescriptors.h"
#include "StandInProcedures.h"
#include "StandInStatementText.h"

namespace {

using StandIn::tAction;
using StandIn::tCell;
using StandIn::tRows;

constexpr ISC_STATUS NoMoreRows = 100;

// An entry of the transaction existence block isc_start_multiple takes.
struct tExistence {
  isc_db_handle* Attachment;
  int ParameterBlockLength;
  const char* ParameterBlock;
};

struct tTransaction {
  uintptr_t Attachment = 0;
  bool ReadOnly = false;
  // Executed in this transaction, recorded when it commits.
  std::optional<tAction> Action;
};

struct tStatement {
  uintptr_t Attachment = 0;
  bool Prepared = false;
  StandIn::tStatementText Text;
  std::vector<tCell> Values;
  bool CursorOpen = false;
  size_t NextRow = 0;

  const tRows& Rows() const { return Text.Procedure->RowsFor(Values); }
};

std::mutex Lock;
uintptr_t NextId = 1;
std::map<uintptr_t, bool> Attachments;  // id, alive
std::map<uintptr_t, tTransaction> Transactions;
std::map<uintptr_t, tStatement> Statements;
int PendingFailure = 0;
int AttachmentsMade = 0;
std::string LastDatabaseName;
std::string LastPassword;
std::optional<tAction> LastCommittedAction;

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

bool Alive(uintptr_t attachment) {
  const auto found = Attachments.find(attachment);
  return found != Attachments.end() && found->second;
}

// Read-only when the block asks for it; an empty block writes.
bool ReadOnly(const char* block, int length) {
  for (int at = 1; at < length; ++at) {
    if (block[at] == isc_tpb_read) return true;
    // The one item with a value: a length byte, then that many bytes.
    if (block[at] == isc_tpb_lock_timeout && at + 1 < length)
      at += 1 + static_cast<unsigned char>(block[at + 1]);
  }
  return false;
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

ISC_STATUS RecordAction(ISC_STATUS* status, tTransaction& transaction,
                        const std::vector<tCell>& values) {
  if (transaction.ReadOnly) return Report(status, {isc_read_only_trans});
  transaction.Action = tAction{values[0].Number, values[1].Number, values[2].Text};
  return Succeed(status);
}

// As the server answers a select executed with an output area: its one row,
// or an error when it has none or more than one.
ISC_STATUS AnswerSingleton(ISC_STATUS* status, const tStatement& statement, const XSQLDA* output) {
  if (!StandIn::IsBoundFor(statement.Text.Procedure->Columns, output))
    return Report(status, {isc_dsql_sqlda_err});
  const tRows& rows = statement.Rows();
  if (rows.empty()) return Report(status, {isc_stream_eof});
  if (rows.size() > 1 && !statement.Text.FirstRowOnly) return Report(status, {isc_sing_select_err});
  StandIn::WriteRow(rows.front(), *output);
  return Succeed(status);
}

ISC_STATUS Execute(ISC_STATUS* status, isc_tr_handle* transaction, isc_stmt_handle* handle,
                   const XSQLDA* input, const XSQLDA* output) {
  std::lock_guard guard(Lock);
  const auto found = Statements.find(Id(*handle));
  const auto owner = Transactions.find(Id(*transaction));
  if (found == Statements.end()) return Report(status, {isc_bad_stmt_handle});
  if (owner == Transactions.end()) return Report(status, {isc_bad_trans_handle});
  tStatement& statement = found->second;
  if (!statement.Prepared) return Report(status, {isc_unprepared_stmt});
  if (!Alive(owner->second.Attachment)) return NetworkError(status);
  ISC_STATUS result = 0;
  if (InjectedFailure(status, result)) return result;
  if (statement.CursorOpen) return Report(status, {isc_dsql_cursor_open_err});
  const auto& parameters = statement.Text.Procedure->Parameters;
  if (const ISC_STATUS failed = StandIn::ReadValues(parameters, input, statement.Values))
    return Report(status, {failed});
  if (!statement.Text.Selects) return RecordAction(status, owner->second, statement.Values);
  if (output != nullptr) return AnswerSingleton(status, statement, output);
  statement.CursorOpen = true;
  statement.NextRow = 0;
  return Succeed(status);
}

// The described columns or parameters of a prepared statement.
ISC_STATUS DescribeStatement(ISC_STATUS* status, isc_stmt_handle* handle, XSQLDA* area,
                             bool parameters) {
  std::lock_guard guard(Lock);
  const auto found = Statements.find(Id(*handle));
  if (found == Statements.end()) return Report(status, {isc_bad_stmt_handle});
  if (!found->second.Prepared) return Report(status, {isc_unprepared_stmt});
  const StandIn::tProcedure& procedure = *found->second.Text.Procedure;
  StandIn::Describe(parameters ? procedure.Parameters : procedure.Columns, *area);
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
    case isc_bad_trans_handle:
      return "invalid transaction handle (expecting explicit transaction start)";
    case isc_bad_stmt_handle:
      return "invalid statement handle";
    case isc_unprepared_stmt:
      return "Attempt to execute an unprepared dynamic SQL statement";
    case isc_dsql_error:
      return "Dynamic SQL Error";
    case isc_dsql_sqlda_err:
      return "SQLDA missing or incorrect version, or incorrect number/type of variables";
    case isc_convert_error:
      return "conversion error from string";
    case isc_string_truncation:
      return "string right truncation";
    case isc_transliteration_failed:
      return "Cannot transliterate character between character sets";
    case isc_stream_eof:
      return "attempt to fetch past the last record in a record stream";
    case isc_sing_select_err:
      return "multiple rows in singleton select";
    case isc_dsql_cursor_open_err:
      return "Attempt to reopen an open cursor";
    case isc_dsql_cursor_close_err:
      return "Attempt to reclose a closed cursor";
    case isc_dsql_cursor_err:
      return "Cursor is not open";
    case isc_read_only_trans:
      return "attempted update during read-only transaction";
    default:
      return "stand-in client: unsupported call";
  }
}

// The password's bytes in a parameter block of one-byte lengths.
std::string PasswordIn(const ISC_SCHAR* block, short length) {
  for (short at = 1; at + 1 < length; at += 2 + static_cast<unsigned char>(block[at + 1]))
    if (block[at] == isc_dpb_password)
      return std::string(block + at + 2, static_cast<unsigned char>(block[at + 1]));
  return {};
}

}  // namespace

extern "C" {

ISC_STATUS ISC_EXPORT isc_attach_database(ISC_STATUS* status, short nameLength,
                                          const ISC_SCHAR* name, isc_db_handle* handle,
                                          short blockLength, const ISC_SCHAR* block) {
  std::lock_guard guard(Lock);
  LastDatabaseName = nameLength > 0 ? std::string(name, static_cast<size_t>(nameLength)) : name;
  LastPassword = PasswordIn(block, blockLength);
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
  const tExistence& block = *static_cast<const tExistence*>(existence);
  std::lock_guard guard(Lock);
  if (!Alive(Id(*block.Attachment))) return NetworkError(status);
  const uintptr_t id = NextId++;
  Transactions[id] = {Id(*block.Attachment),
                      ReadOnly(block.ParameterBlock, block.ParameterBlockLength), std::nullopt};
  *handle = Handle(id);
  return Succeed(status);
}

namespace {
ISC_STATUS EndTransaction(ISC_STATUS* status, isc_tr_handle* handle, bool commit) {
  std::lock_guard guard(Lock);
  const auto found = Transactions.find(Id(*handle));
  if (found == Transactions.end()) return Report(status, {isc_bad_trans_handle});
  if (!Alive(found->second.Attachment)) return NetworkError(status);
  if (commit && found->second.Action) LastCommittedAction = found->second.Action;
  Transactions.erase(found);
  *handle = Handle(0);
  return Succeed(status);
}
}  // namespace

ISC_STATUS ISC_EXPORT isc_commit_transaction(ISC_STATUS* status, isc_tr_handle* handle) {
  return EndTransaction(status, handle, true);
}

ISC_STATUS ISC_EXPORT isc_rollback_transaction(ISC_STATUS* status, isc_tr_handle* handle) {
  return EndTransaction(status, handle, false);
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
  const auto found = Statements.find(Id(*handle));
  if (found == Statements.end()) return Report(status, {isc_bad_stmt_handle});
  tStatement& statement = found->second;
  if (!Alive(statement.Attachment)) return NetworkError(status);
  statement.CursorOpen = false;
  statement.Prepared = StandIn::ParseStatementText(text, statement.Text);
  return statement.Prepared ? Succeed(status) : Report(status, {isc_dsql_error});
}

ISC_STATUS ISC_EXPORT isc_dsql_describe(ISC_STATUS* status, isc_stmt_handle* handle, unsigned short,
                                        XSQLDA* area) {
  return DescribeStatement(status, handle, area, false);
}

ISC_STATUS ISC_EXPORT isc_dsql_describe_bind(ISC_STATUS* status, isc_stmt_handle* handle,
                                             unsigned short, XSQLDA* area) {
  return DescribeStatement(status, handle, area, true);
}

ISC_STATUS ISC_EXPORT isc_dsql_sql_info(ISC_STATUS* status, isc_stmt_handle* handle, short,
                                        const ISC_SCHAR*, short room, ISC_SCHAR* answer) {
  std::lock_guard guard(Lock);
  const auto found = Statements.find(Id(*handle));
  if (found == Statements.end()) return Report(status, {isc_bad_stmt_handle});
  if (!found->second.Prepared) return Report(status, {isc_unprepared_stmt});
  if (room < 8) return Report(status, {isc_random});
  const char type =
      found->second.Text.Selects ? isc_info_sql_stmt_select : isc_info_sql_stmt_exec_procedure;
  const char info[] = {isc_info_sql_stmt_type, 4, 0, type, 0, 0, 0, isc_info_end};
  std::memcpy(answer, info, sizeof info);
  return Succeed(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute(ISC_STATUS* status, isc_tr_handle* transaction,
                                       isc_stmt_handle* handle, unsigned short,
                                       const XSQLDA* input) {
  return Execute(status, transaction, handle, input, nullptr);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute2(ISC_STATUS* status, isc_tr_handle* transaction,
                                        isc_stmt_handle* handle, unsigned short,
                                        const XSQLDA* input, const XSQLDA* output) {
  return Execute(status, transaction, handle, input, output);
}

ISC_STATUS ISC_EXPORT isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle* handle, unsigned short,
                                     const XSQLDA* area) {
  std::lock_guard guard(Lock);
  const auto found = Statements.find(Id(*handle));
  if (found == Statements.end()) return Report(status, {isc_bad_stmt_handle});
  tStatement& statement = found->second;
  if (!statement.CursorOpen) return Report(status, {isc_dsql_cursor_err});
  if (!Alive(statement.Attachment)) return NetworkError(status);
  if (!StandIn::IsBoundFor(statement.Text.Procedure->Columns, area))
    return Report(status, {isc_dsql_sqlda_err});
  const tRows& rows = statement.Rows();
  Succeed(status);
  if (statement.NextRow >= rows.size()) return NoMoreRows;
  StandIn::WriteRow(rows[statement.NextRow++], *area);
  return 0;
}

// Closing a cursor is answered here, as the client library defers it to the
// next request; dropping lets the handle go.
ISC_STATUS ISC_EXPORT isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* handle,
                                              unsigned short option) {
  std::lock_guard guard(Lock);
  const auto found = Statements.find(Id(*handle));
  if (found == Statements.end()) return Report(status, {isc_bad_stmt_handle});
  if (option == DSQL_close) {
    if (!found->second.CursorOpen) return Report(status, {isc_dsql_cursor_close_err});
    found->second.CursorOpen = false;
    return Succeed(status);
  }
  Statements.erase(found);
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
  if (status[1] == isc_stream_eof) return 100;
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

int StandIn_LastDatabaseName(char* text, int room) {
  std::lock_guard guard(Lock);
  std::snprintf(text, static_cast<size_t>(room), "%s", LastDatabaseName.c_str());
  return static_cast<int>(LastDatabaseName.size());
}

int StandIn_LastPassword(char* text, int room) {
  std::lock_guard guard(Lock);
  std::snprintf(text, static_cast<size_t>(room), "%s", LastPassword.c_str());
  return static_cast<int>(LastPassword.size());
}

int StandIn_LastCommittedAction(int32_t* sessionId, int32_t* itemId, char* key, int room) {
  std::lock_guard guard(Lock);
  if (!LastCommittedAction) return -1;
  *sessionId = LastCommittedAction->SessionId;
  *itemId = LastCommittedAction->ItemId;
  const std::string& bytes = LastCommittedAction->Key;
  std::memcpy(key, bytes.data(), std::min(bytes.size(), static_cast<size_t>(room)));
  return static_cast<int>(bytes.size());
}

}  // extern "C"
