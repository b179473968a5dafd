#include "dynmenu/db/tDBRow.h"

#include <utility>

#include "dynmenu/db/tDBError.h"

tDBRow::tDBRow(std::vector<tDBColumn> columns, std::vector<tDBCell> cells)
    : Columns_(std::move(columns)), Cells_(std::move(cells)) {}

std::optional<int32_t> tDBRow::Integer(const std::string& name) const {
  const tDBField field = Field(name);
  if (field.IsNull()) return std::nullopt;
  return field.AsInteger();
}

std::optional<std::string> tDBRow::Text(const std::string& name) const {
  const tDBField field = Field(name);
  if (field.IsNull()) return std::nullopt;
  return field.AsString();
}

tDBField tDBRow::Field(const std::string& name) const {
  for (size_t index = 0; index < Columns_.size() && index < Cells_.size(); ++index) {
    if (!SameColumnName(Columns_[index].Name, name)) continue;
    tDBField field(Columns_[index]);
    field.SetCurrent(&Cells_[index]);
    return field;
  }
  throw tDBError("Field '" + name + "' not found");
}
