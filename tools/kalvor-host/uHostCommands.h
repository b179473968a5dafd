// The subcommands of kalvor-host over one plugin session.
#pragma once

#include <ostream>

#include "tHostSession.h"
#include "uHostArguments.h"

// Runs options.Subcommand, prints its answer to out and returns the exit status;
// what is not the answer (a failed start with --dot) goes to err.
// Raises tUsageError, tHostError and tLayoutError for main to report.
int RunSubcommand(const tHostOptions& options, tHostSession& session, std::ostream& out,
                  std::ostream& err);

// The operands and option values are checked before the plugin is loaded.
void CheckOperands(const tHostOptions& options);
