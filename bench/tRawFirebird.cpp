#include "tRawFirebird.h"

#include <stdexcept>

namespace {
constexpr ISC_STATUS NoMoreRows = 100;

std::string ParameterBlock(const std::string& password) {
  std::string block(1, static_cast<char>(isc_dpb_version1));
  const auto add = [&](char item, const std::string& value) {
    block += item;
    block += static_cast<char>(value.size());
    block += value;
  };
  add(isc_dpb_user_name, "SYSDBA");
  add(isc_dpb_password, password);
  add(isc_dpb_lc_ctype, "WIN1251");
  return block;
}
}  // namespace

tRawFirebird::tRawFirebird(const std::string& dbName, const std::string& password) {
  const std::string block = ParameterBlock(password);
  Check(isc_attach_database(Status_, 0, dbName.c_str(), &Attachment_,
                            static_cast<short>(block.size()), block.data()),
        "attach");
}

tRawFirebird::~tRawFirebird() {
  if (Transaction_ != 0) isc_rollback_transaction(Status_, &Transaction_);
  isc_detach_database(Status_, &Attachment_);
}

void tRawFirebird::Check(ISC_STATUS failed, const char* what) {
  if (!failed) return;
  char text[512];
  const ISC_STATUS* cursor = Status_;
  std::string message = what;
  while (fb_interpret(text, sizeof text, &cursor) > 0) message += std::string(": ") + text;
  throw std::runtime_error(message);
}

void tRawFirebird::Probe() {
  const char items[] = {isc_info_base_level};
  char answer[512];
  Check(isc_database_info(Status_, &Attachment_, sizeof items, items, sizeof answer, answer),
        "probe");
}

void tRawFirebird::Start() {
  Check(isc_start_transaction(Status_, &Transaction_, 1, &Attachment_, 0, nullptr), "start");
}

void tRawFirebird::Commit() {
  Check(isc_commit_transaction(Status_, &Transaction_), "commit");
}

tRawStatement tRawFirebird::Prepare(const std::string& sql) {
  tRawStatement statement;
  Check(isc_dsql_allocate_statement(Status_, &Attachment_, &statement.Handle), "allocate");
  statement.Output = std::make_unique<tSqlDescriptorArea>(20);
  Check(isc_dsql_prepare(Status_, &Transaction_, &statement.Handle, 0, sql.c_str(), 1,
                         statement.Output->Get()),
        "prepare");
  statement.Output->BindBuffers();
  statement.Input = std::make_unique<tSqlDescriptorArea>(5);
  Check(isc_dsql_describe_bind(Status_, &statement.Handle, 1, statement.Input->Get()), "describe");
  const char items[] = {isc_info_sql_stmt_type};
  char answer[16] = {};
  Check(isc_dsql_sql_info(Status_, &statement.Handle, sizeof items, items, sizeof answer, answer),
        "statement type");
  statement.Select = answer[3] == isc_info_sql_stmt_select;
  return statement;
}

int tRawFirebird::Run(tRawStatement& statement, const std::vector<tDBParam>& values) {
  statement.Input->BindValues(values);
  XSQLDA* input = values.empty() ? nullptr : statement.Input->Get();
  if (!statement.Select) {
    XSQLDA* output = statement.Output->Count() > 0 ? statement.Output->Get() : nullptr;
    Check(isc_dsql_execute2(Status_, &Transaction_, &statement.Handle, 1, input, output),
          "execute");
    return 0;
  }
  Check(isc_dsql_execute(Status_, &Transaction_, &statement.Handle, 1, input), "execute");
  int rows = 0;
  ISC_STATUS fetched = 0;
  while ((fetched = isc_dsql_fetch(Status_, &statement.Handle, 1, statement.Output->Get())) == 0)
    ++rows;
  if (fetched != NoMoreRows) Check(fetched, "fetch");
  Check(isc_dsql_free_statement(Status_, &statement.Handle, DSQL_close), "close");
  return rows;
}

void tRawFirebird::Drop(tRawStatement& statement) {
  Check(isc_dsql_free_statement(Status_, &statement.Handle, DSQL_drop), "drop");
}
