// What the menu tables show beside the walk through the commands: items that
// no menu reaches, items left unchecked behind a failed one, and second rows
// that the procedures never return.
#pragma once

#include <vector>

#include "uFinding.h"
#include "uMenuCheck.h"
#include "uMenuTables.h"
#include "uMenuWalk.h"

std::vector<tFinding> TableFindings(const tMenuTables& tables, const tMenuGraph& graph,
                                    const tMenuCheck& check);
