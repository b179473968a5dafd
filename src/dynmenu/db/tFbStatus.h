#pragma once

#include <ibase.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dynmenu/db/tDBError.h"

// A status vector of the client library, filled by every call.
class tFbStatus {
 public:
  ISC_STATUS* Vector() { return Vector_; }
  const ISC_STATUS* Vector() const { return Vector_; }

  // The status texts in order, joined with CR LF (none after a text that
  // already ends in a line feed), the one final full stop removed.
  std::string Message() const;
  // The error codes of the vector in order, warnings left out.
  std::vector<intptr_t> Codes() const;
  // The failed call's error, its kind read from the status.
  tDBError Error() const;
  // The same for a commit: one that lost its connection is in doubt.
  tDBError CommitError() const;

 private:
  tDBError ErrorOf(bool commit) const;

  ISC_STATUS_ARRAY Vector_{};
};
