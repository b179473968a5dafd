// The six statements of the menu database, prepared with "?" for their values.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dynmenu/db/tDBParam.h"

enum class tMenuStatement {
  StartItem,
  Item,
  VoiceParams,
  ConditionParams,
  Connection,
  Action,
};
constexpr size_t MenuStatementCount = 6;

// The lines of the statement as it is prepared.
std::vector<std::string> PreparedLines(tMenuStatement statement);

// Only the action writes; the others read.
bool WritesData(tMenuStatement statement);

// The reads that take the first row only: the server stops at it.
bool ReadsOneRow(tMenuStatement statement);

// The lines of the statement as the log shows it: each "?" replaced by its
// value, a number in decimal, a text between double quotes with each double
// quote doubled.
std::vector<std::string> ShownLines(tMenuStatement statement, const std::vector<tDBParam>& values);
