// The faults of a menu as its walk through commands 100 and 101 shows them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "uFinding.h"
#include "uItemFindings.h"
#include "uMenuWalk.h"

struct tMenuCheck {
  int32_t MenuId = 0;
  std::optional<int32_t> StartItemId;  // absent when command 100 found none
  size_t ItemsChecked = 0;
  std::vector<tFinding> Findings;
  // Items whose answer failed after the item was found: the items their
  // connection leads to are unknown, so nothing behind them was checked.
  std::vector<int32_t> UncheckedBehind;
  // The items the operator named as ends of a call (--ends): no dead-end warning.
  std::vector<int32_t> Ends;

  size_t Count(tSeverity severity) const;
};

// A menu whose command 100 failed: its one finding.
tMenuCheck CheckWithoutStart(const tStartItemAnswer& start);
// Every item of the walk, in the order it was asked for; ends are the items
// meant to end the call.
tMenuCheck CheckMenu(const tMenuGraph& graph, const tKnownVariables& variables,
                     const std::vector<int32_t>& ends = {});
