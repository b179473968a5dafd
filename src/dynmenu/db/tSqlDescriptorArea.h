#pragma once

#include <ibase.h>

#include <cstdlib>
#include <memory>
#include <vector>

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

 private:
  struct tFree {
    void operator()(XSQLDA* area) const { std::free(area); }
  };

  std::unique_ptr<XSQLDA, tFree> Area_;
  std::vector<std::vector<char>> Buffers_;
  std::vector<short> NullIndicators_;
};
