#include "StandInDescriptors.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace StandIn {
namespace {

constexpr short NoCharacterSet = 0;
constexpr short OctetsCharacterSet = 1;

bool IsText(const tColumn& column) {
  return column.TextLength > 0;
}

short TypeOf(const tColumn& column) {
  return IsText(column) ? SQL_VARYING : SQL_LONG;
}

void Describe(const tColumn& column, XSQLVAR& var) {
  var.sqltype = static_cast<ISC_SHORT>(TypeOf(column) | 1);
  var.sqllen = IsText(column) ? column.TextLength : 4;
  var.sqlscale = 0;
  var.sqlsubtype = IsText(column) ? Win1251CharacterSet : 0;
  var.sqlname_length = static_cast<ISC_SHORT>(std::strlen(column.Name));
  std::snprintf(var.sqlname, sizeof var.sqlname, "%s", column.Name);
  var.aliasname_length = var.sqlname_length;
  std::snprintf(var.aliasname, sizeof var.aliasname, "%s", column.Name);
}

ISC_STATUS ReadNumber(const XSQLVAR& var, tCell& value) {
  if ((var.sqltype & ~1) != SQL_LONG || var.sqlscale != 0) return isc_convert_error;
  value.Null = false;
  std::memcpy(&value.Number, var.sqldata, sizeof value.Number);
  return 0;
}

ISC_STATUS ReadText(const tColumn& parameter, const XSQLVAR& var, tCell& value) {
  const short characterSet = var.sqlsubtype & 0xFF;
  if (characterSet != NoCharacterSet && characterSet != OctetsCharacterSet &&
      characterSet != Win1251CharacterSet)
    return isc_transliteration_failed;
  const short type = var.sqltype & ~1;
  short length = var.sqllen;
  const char* bytes = var.sqldata;
  if (type == SQL_VARYING) {
    std::memcpy(&length, var.sqldata, sizeof length);
    bytes += sizeof length;
  } else if (type != SQL_TEXT) {
    return isc_convert_error;
  }
  if (length < 0) return isc_dsql_sqlda_err;
  if (length > parameter.TextLength) return isc_string_truncation;
  value.Null = false;
  value.Text.assign(bytes, static_cast<size_t>(length));
  return 0;
}

ISC_STATUS ReadValue(const tColumn& parameter, const XSQLVAR& var, tCell& value) {
  value = {};
  if ((var.sqltype & 1) && var.sqlind != nullptr && *var.sqlind < 0) return 0;
  if (var.sqldata == nullptr) return isc_dsql_sqlda_err;
  return IsText(parameter) ? ReadText(parameter, var, value) : ReadNumber(var, value);
}

bool Matches(const std::vector<tColumn>& columns, const XSQLDA* area) {
  return area != nullptr && area->version == SQLDA_VERSION1 &&
         static_cast<size_t>(area->sqld) == columns.size() && area->sqln >= area->sqld;
}

}  // namespace

void Describe(const std::vector<tColumn>& columns, XSQLDA& area) {
  area.sqld = static_cast<ISC_SHORT>(columns.size());
  if (static_cast<size_t>(area.sqln) < columns.size()) return;
  for (size_t index = 0; index < columns.size(); ++index)
    Describe(columns[index], area.sqlvar[index]);
}

ISC_STATUS ReadValues(const std::vector<tColumn>& parameters, const XSQLDA* area,
                      std::vector<tCell>& values) {
  values.assign(parameters.size(), {});
  if (parameters.empty()) return 0;
  if (!Matches(parameters, area)) return isc_dsql_sqlda_err;
  for (size_t index = 0; index < parameters.size(); ++index)
    if (const ISC_STATUS failed = ReadValue(parameters[index], area->sqlvar[index], values[index]))
      return failed;
  return 0;
}

bool IsBoundFor(const std::vector<tColumn>& columns, const XSQLDA* area) {
  if (!Matches(columns, area)) return false;
  for (size_t index = 0; index < columns.size(); ++index) {
    const XSQLVAR& var = area->sqlvar[index];
    if (var.sqldata == nullptr || var.sqlind == nullptr ||
        (var.sqltype & ~1) != TypeOf(columns[index]))
      return false;
  }
  return true;
}

void WriteRow(const std::vector<tCell>& row, const XSQLDA& area) {
  for (size_t index = 0; index < row.size(); ++index) {
    const tCell& cell = row[index];
    const XSQLVAR& var = area.sqlvar[index];
    *var.sqlind = cell.Null ? -1 : 0;
    if (cell.Null) continue;
    if ((var.sqltype & ~1) == SQL_LONG) {
      std::memcpy(var.sqldata, &cell.Number, sizeof cell.Number);
      continue;
    }
    const short length = static_cast<short>(std::min<size_t>(cell.Text.size(), var.sqllen));
    std::memcpy(var.sqldata, &length, sizeof length);
    std::memcpy(var.sqldata + sizeof length, cell.Text.data(), static_cast<size_t>(length));
  }
}

}  // namespace StandIn
