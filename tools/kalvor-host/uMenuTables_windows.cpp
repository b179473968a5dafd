#include "uMenuTables.h"

#include <stdexcept>

tMenuTables ReadMenuTables(const std::string&) {
  throw std::runtime_error(
      "check --tables is not in the Windows build: run it from Linux against the same server");
}
