#include "dynmenu/db/tSqlDescriptorArea.h"

#include <new>

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
