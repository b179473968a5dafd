// The client library called directly, with nothing between: what the floor of
// the old design and the server's best case are made of.
#pragma once

#include <ibase.h>

#include <memory>
#include <string>
#include <vector>

#include "dynmenu/db/tDBParam.h"
#include "dynmenu/db/tSqlDescriptorArea.h"

struct tRawStatement {
  isc_stmt_handle Handle = 0;
  bool Select = false;
  std::unique_ptr<tSqlDescriptorArea> Input;
  std::unique_ptr<tSqlDescriptorArea> Output;
};

class tRawFirebird {
 public:
  tRawFirebird(const std::string& dbName, const std::string& password);
  ~tRawFirebird();
  tRawFirebird(const tRawFirebird&) = delete;
  tRawFirebird& operator=(const tRawFirebird&) = delete;

  // One database information request: the old design's probe.
  void Probe();
  // A transaction with the server's defaults (read-write snapshot).
  void Start();
  void Commit();
  bool InTransaction() const { return Transaction_ != 0; }

  // Allocates and prepares in the active transaction; the description and
  // the statement type come with the prepare, as the old design asked for them.
  tRawStatement Prepare(const std::string& sql);
  // Executes in the active transaction; a select's rows are all fetched and
  // its cursor closed. The rows read.
  int Run(tRawStatement& statement, const std::vector<tDBParam>& values);
  void Drop(tRawStatement& statement);

 private:
  void Check(ISC_STATUS failed, const char* what);

  ISC_STATUS_ARRAY Status_{};
  isc_db_handle Attachment_ = 0;
  isc_tr_handle Transaction_ = 0;
};
