// The soak's checks and figures, printed; the verdict is whether all checks held.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tFaultSchedule.h"
#include "tSoakTraffic.h"
#include "uProcessFigures.h"

struct tSoakRecord {
  // By command id, entry 0 unused.
  std::vector<tSentCommand> Sent;
  size_t Refused = 0;
  std::vector<tCallback> Callbacks;
  bool Drained = false;
  std::vector<tFaultEvent> Events;
  // Rows of the action protocol, by key.
  std::map<std::string, int> Rows;
  // Keys whose failure line said "commit outcome unknown".
  std::set<std::string> OutcomeUnknown;
  // The plugin's CommandDeadline: no caller may wait longer, but for the
  // time its callback takes.
  int CommandDeadlineSeconds = 15;
  tProcessFigures Baseline;
  std::vector<tProcessFigures> During;
  tProcessFigures End;
};

// Prints every figure and check to standard output; true when all checks hold.
bool JudgeSoak(const tSoakRecord& record);
