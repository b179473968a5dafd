// The faults of a menu as its walk through commands 100 and 101 shows them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uMenuWalk.h"

enum class tSeverity { Error, Warning };

struct tFinding {
  tSeverity Severity = tSeverity::Error;
  std::string Code;     // stable name for scripts: "missing-item", "dead-end", ...
  int32_t ItemId = 0;   // the item the finding is about
  std::string Message;  // UTF-8
};

struct tMenuCheck {
  int32_t MenuId = 0;
  std::optional<int32_t> StartItemId;  // absent when command 100 found none
  size_t ItemsChecked = 0;
  std::vector<tFinding> Findings;

  size_t Count(tSeverity severity) const;
};

// A menu whose command 100 failed: its one finding.
tMenuCheck CheckWithoutStart(const tStartItemAnswer& start);
// Every item of the walk, in the order it was asked for.
tMenuCheck CheckMenu(const tMenuGraph& graph);
