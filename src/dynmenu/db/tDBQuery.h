#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/tDBField.h"
#include "dynmenu/db/tFbHandle.h"

class tDBConnection;
class tDBTransaction;
class tSqlDescriptorArea;

// One statement and its result on a connection, run in the connection's
// default transaction. Rows are kept as they are fetched, so First can go
// back to the first row of a forward-only cursor.
class tDBQuery {
 public:
  explicit tDBQuery(tDBConnection& connection);
  ~tDBQuery();
  tDBQuery(const tDBQuery&) = delete;
  tDBQuery& operator=(const tDBQuery&) = delete;

  void ClearText() { Lines_.clear(); }
  void AddLine(const std::string& line) { Lines_.push_back(line); }
  const std::vector<std::string>& Lines() const { return Lines_; }
  // Every line followed by CR LF, the last one too.
  std::string Text() const;

  // Prepares and executes Text in the active transaction; a select is left on
  // its first row. Raises and stays inactive on failure.
  void Open();
  bool IsActive() const { return Active_; }
  // Closes the result and releases the statement; raises when the client
  // library fails, with the statement released all the same.
  void Close();

  void First();
  void Next();
  bool Eof() const { return Position_ >= Rows_.size(); }
  // Rows fetched so far.
  int RecordCount() const { return static_cast<int>(Rows_.size()); }
  // Matches the name without regard to case.
  tDBField& FieldByName(const std::string& name);

 private:
  friend class tDBConnection;

  tDBTransaction& Transaction();
  bool RunsIn(const tDBTransaction& transaction) const;
  void Prepare(tDBTransaction& transaction);
  void Describe();
  int StatementType();
  void Execute(tDBTransaction& transaction, int statementType);
  bool FetchRow();
  tDBCell ReadCell(int index);
  std::string ReadBlob(const void* blobId);
  void ShowCurrentRow();
  void ReleaseQuietly() noexcept;

  tDBConnection* Connection_;
  tDBTransaction* Transaction_;
  std::vector<std::string> Lines_;
  tFbHandle Statement_ = 0;
  std::unique_ptr<tSqlDescriptorArea> Output_;
  std::vector<std::unique_ptr<tDBField>> Fields_;
  std::vector<std::vector<tDBCell>> Rows_;
  size_t Position_ = 0;
  bool HasCursor_ = false;
  bool CursorExhausted_ = true;
  bool Active_ = false;
};
