#pragma once

#include <ibase.h>

#include <string>

#include "dynmenu/db/tDBError.h"

// A status vector of the client library, filled by every call.
class tFbStatus {
 public:
  ISC_STATUS* Vector() { return Vector_; }
  const ISC_STATUS* Vector() const { return Vector_; }

  // The status texts in order, joined with CR LF (none after a text that
  // already ends in a line feed), the one final full stop removed.
  std::string Message() const;
  tDBError Error() const;

  // The server or the network went away under an open attachment.
  static bool IsNetworkError(const tDBError& error);

 private:
  ISC_STATUS_ARRAY Vector_{};
};
