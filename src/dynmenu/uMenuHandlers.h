// The three menu handlers: each lays out its answer and logs its steps; the
// database is reached through the door alone, and a failure raises to the
// worker's one guard.
#pragma once

#include <cstdint>
#include <string>

class tMenuDatabase;
class tPlugInLog;
class tPlugInWorker;

// What a handler works with.
struct tMenuCommand {
  tMenuDatabase& Database;
  tPlugInLog& Log;
  // The worker, whose ticks time each step.
  tPlugInWorker& Clock;
  // The command's buffer; command 101 replaces it by its answer.
  uint8_t*& Buffer;
  int32_t* ResultCode;
  // The input values of the step in progress, which a failure line ends with.
  std::string Step;
};

// A handler answers the outcome (0 or 1) and sets the result code; a failure
// of the database or the layout raises.
struct tMenuHandler {
  int32_t (*Run)(tMenuCommand& command);
  // "Error while processing <QueryName>" when a statement's attempts are spent.
  const char* QueryName;
  // "Exception while processing <ExceptionName>" for any other failure.
  const char* ExceptionName;
};

int32_t GetStartMenuItem(tMenuCommand& command);
int32_t GetMenuItemDesc(tMenuCommand& command);
int32_t PostMenuAction(tMenuCommand& command);

// Elapsed milliseconds since stepStart, as a step's line shows them.
int StepMilliseconds(tPlugInWorker& clock, uint32_t stepStart);
