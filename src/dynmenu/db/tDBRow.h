#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dynmenu/db/tDBField.h"

// One fetched row as a value that outlives its statement's result. A NULL
// column reads as std::nullopt; conversions are tDBField's.
class tDBRow {
 public:
  tDBRow(std::vector<tDBColumn> columns, std::vector<tDBCell> cells);

  // The name matches without regard to case; an unknown name raises tDBError.
  std::optional<int32_t> Integer(const std::string& name) const;
  std::optional<std::string> Text(const std::string& name) const;

 private:
  tDBField Field(const std::string& name) const;

  std::vector<tDBColumn> Columns_;
  std::vector<tDBCell> Cells_;
};
