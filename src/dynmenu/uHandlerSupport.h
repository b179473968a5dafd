// What the three menu handlers share besides the worker's own members.
#pragma once

#include <cstdint>
#include <string>

// The error being handled; call only inside a catch block.
struct tCurrentError {
  std::string Message;
  // A commit lost its reply: the step may have been written or not.
  bool CommitOutcomeUnknown = false;
};
tCurrentError CurrentError();

// A failure line followed by the step's input values, so an operator can tell
// which action failed, and by "commit outcome unknown" when it may be written.
std::string WithStepValues(const std::string& line, const std::string& values,
                           bool commitOutcomeUnknown = false);
