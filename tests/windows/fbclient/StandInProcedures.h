// The menu procedures the stand-in client library serves: their parameters,
// their columns and the rows each first argument gives.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace StandIn {

// The character set the stand-in's texts are in, as the server numbers it.
inline constexpr short Win1251CharacterSet = 52;

// A value of a row or of a parameter.
struct tCell {
  bool Null = true;
  int32_t Number = 0;
  std::string Text;
};

// A parameter or a column: an integer, or a text of at most TextLength bytes.
struct tColumn {
  const char* Name;
  short TextLength;  // 0 for an integer
};

using tRows = std::vector<std::vector<tCell>>;

struct tProcedure {
  const char* Name;
  std::vector<tColumn> Parameters;
  // None for a procedure that is executed rather than selected from.
  std::vector<tColumn> Columns;
  std::map<int32_t, tRows> RowsByFirstArgument;

  const tRows& RowsFor(const std::vector<tCell>& arguments) const;
};

// The procedure of that name, given in capitals; null for none.
const tProcedure* FindProcedure(const std::string& name);

}  // namespace StandIn
