// A read-only connection of the tool's own to the menu database, through the
// client library, that reads tables of whole numbers.
#pragma once

#include <ibase.h>

#include <string>
#include <vector>

#include "uDatabaseSettings.h"
#include "uMenuTables.h"

class tTableReader {
 public:
  // Raises std::runtime_error with the server's words when the attach fails.
  explicit tTableReader(const tDatabaseSettings& settings);
  ~tTableReader();
  tTableReader(const tTableReader&) = delete;
  tTableReader& operator=(const tTableReader&) = delete;

  // Every row of a select whose columns are all integers.
  std::vector<tNumberRow> Select(const std::string& sql);

 private:
  [[noreturn]] void Fail(const std::string& what);

  ISC_STATUS_ARRAY Status{};
  isc_db_handle Database = 0;
  isc_tr_handle Transaction = 0;
};
