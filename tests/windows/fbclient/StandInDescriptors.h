// The stand-in's side of the XSQLDA: it describes a statement's columns and
// parameters, reads the values the plugin binds, and writes rows back.
#pragma once

#include <ibase.h>

#include <vector>

#include "StandInProcedures.h"

namespace StandIn {

// Counts the columns into the area, and describes them when it has room for all.
void Describe(const std::vector<tColumn>& columns, XSQLDA& area);

// The values of the parameters from the plugin's input area: 0, or the error
// code when the area does not match the parameters or a value does not fit
// its parameter. Nothing is converted: an integer must come as a 32-bit
// integer and a text as text, in the parameter's character set or in none, so
// what is read is byte for byte what the plugin sent.
ISC_STATUS ReadValues(const std::vector<tColumn>& parameters, const XSQLDA* area,
                      std::vector<tCell>& values);

// The area was described with these columns, and each has its buffers bound.
bool IsBoundFor(const std::vector<tColumn>& columns, const XSQLDA* area);

// Writes a row into an area bound for its columns.
void WriteRow(const std::vector<tCell>& row, const XSQLDA& area);

}  // namespace StandIn
