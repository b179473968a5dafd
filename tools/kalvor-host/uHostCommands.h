// The subcommands of kalvor-host over one plugin session.
#pragma once

#include <ostream>

#include "tHostSession.h"
#include "uHostArguments.h"

// Runs options.Subcommand, prints its answer to out and returns the exit status.
// Raises tUsageError, tHostError and tLayoutError for main to report.
int RunSubcommand(const tHostOptions& options, tHostSession& session, std::ostream& out);

// The operands are checked before the plugin is loaded.
void CheckOperands(const tHostOptions& options);
