// One thing check found wrong with a menu.
#pragma once

#include <cstdint>
#include <string>

enum class tSeverity { Error, Warning };

struct tFinding {
  tSeverity Severity = tSeverity::Error;
  std::string Code;     // stable name for scripts: "missing-item", "dead-end", ...
  int32_t ItemId = 0;   // the item the finding is about
  std::string Message;  // UTF-8
};
