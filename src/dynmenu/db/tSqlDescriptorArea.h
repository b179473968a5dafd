#pragma once

#include <ibase.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "dynmenu/db/tDBParam.h"

// An XSQLDA with room for a given number of columns, and the data buffers and
// NULL indicators its columns point at once bound.
class tSqlDescriptorArea {
 public:
  explicit tSqlDescriptorArea(short capacity);

  XSQLDA* Get() { return Area_.get(); }
  short Count() const { return Area_->sqld; }
  // The server described more columns than there is room for.
  bool Overflows() const { return Area_->sqld > Area_->sqln; }
  const XSQLVAR& Column(int index) const { return Area_->sqlvar[index]; }

  // Gives every described column its own data buffer and NULL indicator.
  void BindBuffers();
  // Fills the described input columns with the values, in order: integers as
  // 32-bit integers, texts as their bytes in the character set the server
  // described (none for a column that is not text), so no byte is changed.
  // Raises tDBError when the count differs or a text is too long to send.
  void BindValues(const std::vector<tDBParam>& values);

 private:
  struct tFree {
    void operator()(XSQLDA* area) const { std::free(area); }
  };

  std::unique_ptr<XSQLDA, tFree> Area_;
  std::vector<std::vector<char>> Buffers_;
  std::vector<short> NullIndicators_;
};
