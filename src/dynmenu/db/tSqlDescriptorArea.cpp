#include "dynmenu/db/tSqlDescriptorArea.h"

#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "dynmenu/db/tDBError.h"

namespace {

bool IsTextType(short sqltype) {
  const short type = sqltype & ~1;
  return type == SQL_TEXT || type == SQL_VARYING;
}

}  // namespace

tSqlDescriptorArea::tSqlDescriptorArea(short capacity) {
  const short room = capacity < 1 ? 1 : capacity;
  auto* area = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(room)));
  if (area == nullptr) throw std::bad_alloc();
  area->version = SQLDA_VERSION1;
  area->sqln = room;
  Area_.reset(area);
}

void tSqlDescriptorArea::BindBuffers() {
  const int count = Count();
  Buffers_.assign(count, {});
  NullIndicators_.assign(count, 0);
  for (int index = 0; index < count; ++index) {
    XSQLVAR& column = Area_->sqlvar[index];
    const bool varying = (column.sqltype & ~1) == SQL_VARYING;
    const size_t size = static_cast<size_t>(column.sqllen) + (varying ? sizeof(short) : 0);
    Buffers_[index].assign(size > 0 ? size : 1, 0);
    column.sqldata = Buffers_[index].data();
    column.sqlind = &NullIndicators_[index];
  }
}

void tSqlDescriptorArea::BindValues(const std::vector<tDBParam>& values) {
  const int count = Count();
  if (static_cast<size_t>(count) != values.size())
    throw tDBError("The statement takes " + std::to_string(count) + " values, not " +
                   std::to_string(values.size()));
  Buffers_.assign(count, {});
  NullIndicators_.assign(count, 0);
  for (int index = 0; index < count; ++index) {
    XSQLVAR& column = Area_->sqlvar[index];
    const tDBParam& value = values[index];
    std::vector<char>& buffer = Buffers_[index];
    if (value.IsText) {
      if (value.Bytes.size() > static_cast<size_t>(std::numeric_limits<short>::max()))
        throw tDBError("Value " + std::to_string(index + 1) + " is longer than 32767 bytes");
      column.sqlsubtype = IsTextType(column.sqltype) ? column.sqlsubtype : 0;
      column.sqltype = SQL_TEXT;
      column.sqllen = static_cast<short>(value.Bytes.size());
      buffer.assign(value.Bytes.begin(), value.Bytes.end());
    } else {
      column.sqltype = SQL_LONG;
      column.sqlsubtype = 0;
      column.sqllen = sizeof value.Number;
      buffer.resize(sizeof value.Number);
      std::memcpy(buffer.data(), &value.Number, sizeof value.Number);
    }
    column.sqlscale = 0;
    if (buffer.empty()) buffer.push_back(0);
    column.sqldata = buffer.data();
    column.sqlind = &NullIndicators_[index];
  }
}
