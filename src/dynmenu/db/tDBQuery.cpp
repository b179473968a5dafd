#include "dynmenu/db/tDBQuery.h"

#include <algorithm>
#include <cstring>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBTransaction.h"
#include "dynmenu/db/tFbClientApi.h"
#include "dynmenu/db/tFbStatus.h"
#include "dynmenu/db/tSqlDescriptorArea.h"

namespace {

constexpr ISC_STATUS kNoMoreRows = 100;
constexpr unsigned short kBlobChunkSize = 16384;
const char kNotOpen[] = "Cannot perform operation -- DB is not open";

std::string ColumnName(const XSQLVAR& column) {
  if (column.aliasname_length > 0) return std::string(column.aliasname, column.aliasname_length);
  return std::string(column.sqlname, column.sqlname_length);
}

// Closes an open blob whatever way the reading ends.
class tBlobHandle {
 public:
  ~tBlobHandle() {
    if (Handle_ != 0) {
      tFbStatus status;
      FbClientApi().CloseBlob(status.Vector(), &Handle_);
    }
  }
  tFbHandle* Get() { return &Handle_; }

 private:
  tFbHandle Handle_ = 0;
};

// The statement's output or input columns, in an area with room for all of them.
std::unique_ptr<tSqlDescriptorArea> Described(decltype(tFbClientApi::DsqlDescribe) describe,
                                              tFbHandle* statement) {
  tFbStatus status;
  auto area = std::make_unique<tSqlDescriptorArea>(1);
  if (describe(status.Vector(), statement, SQLDA_VERSION1, area->Get())) throw status.Error();
  if (area->Overflows()) {
    area = std::make_unique<tSqlDescriptorArea>(area->Count());
    if (describe(status.Vector(), statement, SQLDA_VERSION1, area->Get())) throw status.Error();
  }
  return area;
}

}  // namespace

tDBQuery::tDBQuery(tDBConnection& connection, tDBTransaction& transaction)
    : Connection_(&connection), Transaction_(&transaction) {
  Connection_->Register(this);
}

tDBQuery::~tDBQuery() {
  ReleaseQuietly();
  Connection_->Unregister(this);
}

void tDBQuery::ClearText() {
  ReleaseQuietly();
  Lines_.clear();
}

void tDBQuery::AddLine(const std::string& line) {
  ReleaseQuietly();
  Lines_.push_back(line);
}

std::string tDBQuery::Text() const {
  std::string text;
  for (const std::string& line : Lines_) text += line + "\r\n";
  return text;
}

void tDBQuery::Prepare() {
  CheckCanRun();
  if (!Prepared_) PrepareIn(Transaction());
}

void tDBQuery::Open() {
  if (Active_) Close();
  CheckCanRun();
  tDBTransaction& transaction = Transaction();
  if (!Prepared_) PrepareIn(transaction);
  try {
    Execute(transaction);
    Active_ = true;
    ShowCurrentRow();
  } catch (...) {
    CloseQuietly();
    throw;
  }
}

// Closing a cursor costs no round trip: the client library sends it with the
// next request.
void tDBQuery::Close() {
  ForgetResult();
  if (!CursorOpen_) return;
  CursorOpen_ = false;
  tFbStatus status;
  if (FbClientApi().DsqlFreeStatement(status.Vector(), &Statement_, DSQL_close))
    throw status.Error();
}

void tDBQuery::First() {
  if (!Active_) throw tDBError("Query is not open");
  Position_ = 0;
  ShowCurrentRow();
}

void tDBQuery::Next() {
  if (!Active_) throw tDBError("Query is not open");
  if (Eof()) return;
  ++Position_;
  if (Position_ == Rows_.size()) FetchRow();
  ShowCurrentRow();
}

tDBField& tDBQuery::FieldByName(const std::string& name) {
  for (const auto& field : Fields_) {
    if (SameColumnName(field->Name(), name)) return *field;
  }
  throw tDBError("Field '" + name + "' not found");
}

tDBRow tDBQuery::CurrentRow() const {
  if (Eof()) throw tDBError("Query has no current row");
  std::vector<tDBColumn> columns;
  columns.reserve(Fields_.size());
  for (const auto& field : Fields_) columns.push_back(field->Column());
  return tDBRow(std::move(columns), Rows_[Position_]);
}

void tDBQuery::TransactionEnding(const tDBTransaction& transaction) noexcept {
  if (Transaction_ == &transaction) CloseQuietly();
}

void tDBQuery::CheckCanRun() {
  if (!Connection_->IsConnected()) throw tDBError(kNotOpen);
  if (!Transaction().InTransaction()) throw tDBError("Transaction is not active");
}

// The statement's description and type come back with the prepare: the calls
// after it are answered by the client library itself.
void tDBQuery::PrepareIn(tDBTransaction& transaction) {
  ReleaseQuietly();
  const tFbClientApi& api = FbClientApi();
  tFbStatus status;
  try {
    if (api.DsqlAllocateStatement(status.Vector(), Connection_->AttachmentHandle(), &Statement_))
      throw status.Error();
    const std::string text = Text();
    if (api.DsqlPrepare(status.Vector(), transaction.Handle(), &Statement_, 0, text.c_str(),
                        static_cast<unsigned short>(Connection_->SQLDialect), nullptr))
      throw status.Error();
    Describe();
    StatementType_ = StatementType();
  } catch (...) {
    ReleaseQuietly();
    throw;
  }
  Prepared_ = true;
}

void tDBQuery::Describe() {
  const tFbClientApi& api = FbClientApi();
  Output_ = Described(api.DsqlDescribe, &Statement_);
  Output_->BindBuffers();
  Fields_.clear();
  for (int index = 0; index < Output_->Count(); ++index) {
    const XSQLVAR& column = Output_->Column(index);
    Fields_.push_back(std::make_unique<tDBField>(tDBColumn{ColumnName(column),
                                                           static_cast<short>(column.sqltype & ~1),
                                                           column.sqlscale, column.sqlsubtype}));
  }
  Input_ = Described(api.DsqlDescribeBind, &Statement_);
}

int tDBQuery::StatementType() {
  const char items[] = {isc_info_sql_stmt_type};
  char answer[16] = {};
  tFbStatus status;
  if (FbClientApi().DsqlSqlInfo(status.Vector(), &Statement_, sizeof items, items, sizeof answer,
                                answer))
    throw status.Error();
  if (answer[0] != isc_info_sql_stmt_type) throw tDBError("Statement type not reported");
  // Item, two-byte little-endian length, then the value in that many bytes.
  const int length = static_cast<unsigned char>(answer[1]) | static_cast<unsigned char>(answer[2])
                                                                 << 8;
  int type = 0;
  for (int byte = std::min(length, 4) - 1; byte >= 0; --byte)
    type = type << 8 | static_cast<unsigned char>(answer[3 + byte]);
  return type;
}

// A select's execute waits for its first fetch, so both take one round trip.
void tDBQuery::Execute(tDBTransaction& transaction) {
  const tFbClientApi& api = FbClientApi();
  tFbStatus status;
  Input_->BindValues(Params_);
  XSQLDA* input = Input_->Count() > 0 ? Input_->Get() : nullptr;
  const bool select = StatementType_ == isc_info_sql_stmt_select ||
                      StatementType_ == isc_info_sql_stmt_select_for_upd;
  if (select && SingleRow) return ExecuteSingleRow(transaction);
  ISC_STATUS failed = 0;
  if (StatementType_ == isc_info_sql_stmt_exec_procedure) {
    XSQLDA* output = Output_->Count() > 0 ? Output_->Get() : nullptr;
    failed = api.DsqlExecute2(status.Vector(), transaction.Handle(), &Statement_, SQLDA_VERSION1,
                              input, output);
  } else {
    failed =
        api.DsqlExecute(status.Vector(), transaction.Handle(), &Statement_, SQLDA_VERSION1, input);
  }
  if (failed) throw status.Error();
  CursorOpen_ = select;
  MoreRows_ = select;
  if (MoreRows_) FetchRow();
}

bool tDBQuery::FetchRow() {
  if (!MoreRows_) return false;
  tFbStatus status;
  const ISC_STATUS result =
      FbClientApi().DsqlFetch(status.Vector(), &Statement_, SQLDA_VERSION1, Output_->Get());
  if (result == kNoMoreRows) {
    MoreRows_ = false;
    return false;
  }
  if (result) throw status.Error();
  KeepCurrentRow();
  return true;
}

void tDBQuery::ExecuteSingleRow(tDBTransaction& transaction) {
  XSQLDA* input = Input_->Count() > 0 ? Input_->Get() : nullptr;
  tFbStatus status;
  if (FbClientApi().DsqlExecute2(status.Vector(), transaction.Handle(), &Statement_, SQLDA_VERSION1,
                                 input, Output_->Get())) {
    // The server's word for a singleton without a row; but a client whose
    // server has just been killed was seen to answer it too, so it stands
    // only once the attachment has answered as well.
    if (status.Vector()[1] == isc_stream_eof) return Connection_->CheckAnswers();
    throw status.Error();
  }
  KeepCurrentRow();
}

void tDBQuery::KeepCurrentRow() {
  std::vector<tDBCell> row;
  row.reserve(Output_->Count());
  for (int index = 0; index < Output_->Count(); ++index) row.push_back(ReadCell(index));
  Rows_.push_back(std::move(row));
}

tDBCell tDBQuery::ReadCell(int index) {
  const XSQLVAR& column = Output_->Column(index);
  if ((column.sqltype & 1) && *column.sqlind < 0) return {};
  switch (column.sqltype & ~1) {
    case SQL_VARYING: {
      short length = 0;
      std::memcpy(&length, column.sqldata, sizeof length);
      return {false, std::string(column.sqldata + sizeof length, static_cast<size_t>(length))};
    }
    case SQL_BLOB:
      return {false, ReadBlob(column.sqldata)};
    default:
      return {false, std::string(column.sqldata, static_cast<size_t>(column.sqllen))};
  }
}

std::string tDBQuery::ReadBlob(const void* blobId) {
  const tFbClientApi& api = FbClientApi();
  ISC_QUAD id;
  std::memcpy(&id, blobId, sizeof id);
  tBlobHandle blob;
  tFbStatus status;
  if (api.OpenBlob2(status.Vector(), Connection_->AttachmentHandle(), Transaction().Handle(),
                    blob.Get(), &id, 0, nullptr))
    throw status.Error();
  std::string content;
  char chunk[kBlobChunkSize];
  for (;;) {
    unsigned short length = 0;
    const ISC_STATUS result =
        api.GetSegment(status.Vector(), blob.Get(), &length, sizeof chunk, chunk);
    if (result != 0 && status.Vector()[1] == isc_segstr_eof) break;
    if (result != 0 && status.Vector()[1] != isc_segment) throw status.Error();
    content.append(chunk, length);
  }
  return content;
}

void tDBQuery::ShowCurrentRow() {
  for (size_t index = 0; index < Fields_.size(); ++index)
    Fields_[index]->SetCurrent(Eof() ? nullptr : &Rows_[Position_][index]);
}

void tDBQuery::ForgetResult() {
  Active_ = false;
  Rows_.clear();
  Position_ = 0;
  MoreRows_ = false;
  ShowCurrentRow();
}

void tDBQuery::CloseQuietly() noexcept {
  try {
    Close();
  } catch (...) {
  }
}

void tDBQuery::ReleaseQuietly() noexcept {
  ForgetResult();
  CursorOpen_ = false;
  Prepared_ = false;
  if (Statement_ == 0) return;
  tFbStatus status;
  FbClientApi().DsqlFreeStatement(status.Vector(), &Statement_, DSQL_drop);
  Statement_ = 0;
}
