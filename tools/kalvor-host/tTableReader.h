// A read-only connection of the tool's own to the menu database, through the
// plugin's client layer, that reads tables of whole numbers.
#pragma once

#include <string>
#include <vector>

#include "dynmenu/db/tDBConnection.h"
#include "dynmenu/db/tDBTransaction.h"
#include "uDatabaseSettings.h"
#include "uMenuTables.h"

class tTableReader {
 public:
  // Raises std::runtime_error with the server's words when the attach fails.
  explicit tTableReader(const tDatabaseSettings& settings);

  // Every row of the named integer columns of a table, in the order given
  // ("1, 2": by the first two columns).
  std::vector<tNumberRow> Select(const std::string& table, const std::vector<std::string>& columns,
                                 const std::string& order);

 private:
  tDBConnection Connection;
  tDBTransaction Transaction{Connection};
};
