// The statements the stand-in understands, as the plugin prepares them: a
// select from one of the menu procedures, or the execution of one, with a "?"
// for each of the procedure's parameters.
#pragma once

#include <string>

#include "StandInProcedures.h"

namespace StandIn {

struct tStatementText {
  const tProcedure* Procedure = nullptr;
  bool Selects = false;
  // "select first 1": the server stops at the first row.
  bool FirstRowOnly = false;
};

// Reads "select [first 1] * from NAME(?)" or "execute procedure NAME(?,?,?)"
// without regard to case, spaces or line breaks. False for anything else: a
// procedure the stand-in does not serve, one selected from that is to be
// executed or the other way round, or markers that are not one "?" for each
// parameter (a value written into the text among them).
bool ParseStatementText(const std::string& text, tStatementText& parsed);

}  // namespace StandIn
