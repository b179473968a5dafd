#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "dynmenu/db/tDBAttachmentUser.h"
#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDBField.h"
#include "dynmenu/db/tDBParam.h"
#include "dynmenu/db/tDBRow.h"
#include "dynmenu/db/tFbHandle.h"

class tDBConnection;
class tDBTransaction;
class tSqlDescriptorArea;

// One statement and its result on a connection, run in the transaction it is
// bound to. The statement is prepared once and
// run again with new values until its text changes or the attachment goes.
// Rows are kept as they are fetched, so First can go back to the first row of
// a forward-only cursor.
class tDBQuery final : public tDBAttachmentUser {
 public:
  tDBQuery(tDBConnection& connection, tDBTransaction& transaction);
  ~tDBQuery();
  tDBQuery(const tDBQuery&) = delete;
  tDBQuery& operator=(const tDBQuery&) = delete;

  // Changing the text lets the prepared statement go.
  void ClearText();
  void AddLine(const std::string& line);
  // Every line followed by CR LF, the last one too.
  std::string Text() const;
  // The values of the text's "?" markers, in order, for every later Open.
  void SetParams(std::vector<tDBParam> params) { Params_ = std::move(params); }
  // A select that needs no more than its first row: the row comes back with
  // the execute and no cursor is left to close; an answer without a row takes
  // a second request. The text must not yield more than one row
  // ("select first 1 ...").
  bool SingleRow = false;

  // Prepares Text in the active transaction, once: one request to the server.
  void Prepare();
  bool IsPrepared() const { return Prepared_; }
  // Executes the prepared statement (preparing it first when it is not) in
  // the active transaction; a select is left on its first row. Raises and
  // stays inactive on failure, still prepared.
  void Open();
  bool IsActive() const { return Active_; }
  // Closes the result; the statement stays prepared. Raises when the client
  // library fails, with the result closed all the same.
  void Close();
  void CloseQuietly() noexcept;
  // Lets the prepared statement go as well.
  void ReleaseQuietly() noexcept override;

  void First();
  void Next();
  bool Eof() const { return Position_ >= Rows_.size(); }
  // Rows fetched so far.
  int RecordCount() const { return static_cast<int>(Rows_.size()); }
  // Matches the name without regard to case.
  tDBField& FieldByName(const std::string& name);
  // The current row as a value; raises at the end of the rows.
  tDBRow CurrentRow() const;

 private:
  void TransactionEnding(const tDBTransaction& transaction) noexcept override;
  void CloseResult() override { Close(); }
  tDBTransaction& Transaction() { return *Transaction_; }
  void CheckCanRun();
  void PrepareIn(tDBTransaction& transaction);
  void Describe();
  int StatementType();
  void Execute(tDBTransaction& transaction);
  bool FetchRow();
  void ExecuteSingleRow(tDBTransaction& transaction);
  void KeepCurrentRow();
  tDBCell ReadCell(int index);
  std::string ReadBlob(const void* blobId);
  void ShowCurrentRow();
  void ForgetResult();

  tDBConnection* Connection_;
  tDBTransaction* Transaction_;
  std::vector<std::string> Lines_;
  tFbHandle Statement_ = 0;
  std::vector<tDBParam> Params_;
  std::unique_ptr<tSqlDescriptorArea> Input_;
  std::unique_ptr<tSqlDescriptorArea> Output_;
  std::vector<std::unique_ptr<tDBField>> Fields_;
  std::vector<std::vector<tDBCell>> Rows_;
  size_t Position_ = 0;
  int StatementType_ = 0;
  bool Prepared_ = false;
  // A cursor the server holds open until it is closed, fetched to the end or not.
  bool CursorOpen_ = false;
  bool MoreRows_ = false;
  bool Active_ = false;
};
