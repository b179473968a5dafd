// The one guard every menu command runs in, and what its handlers share.
#include <exception>

#include "dynmenu/db/tDBError.h"
#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uQueryFailed.h"
#include "log/tPlugInLog.h"
#include "log/uLogValue.h"
#include "platform/Format.h"
#include "worker/uPlugInDynMenuErrors.h"

namespace {
// The error being handled; call only inside a catch block.
struct tCurrentError {
  // Escaped for the log: the server's words are anyone's.
  std::string Message;
  // A commit lost its reply: the step may have been written or not.
  bool CommitOutcomeUnknown = false;
};

tCurrentError CurrentError() {
  try {
    throw;
  } catch (const tDBError& error) {
    return {LogValue(error.Message), error.CommitOutcomeUnknown()};
  } catch (const std::exception& error) {
    return {LogValue(error.what())};
  } catch (...) {
    return {"unknown error"};
  }
}

// A failure line followed by the step's input values, so an operator can tell
// which action failed, and by "commit outcome unknown" when it may be written.
std::string WithStepValues(const std::string& line, const std::string& values,
                           bool commitOutcomeUnknown = false) {
  std::string full = line;
  if (!values.empty()) full += " " + values;
  if (commitOutcomeUnknown) full += " - commit outcome unknown";
  return full;
}
}  // namespace

int StepMilliseconds(tPlugInWorker& clock, uint32_t stepStart) {
  return static_cast<int>(TicksBetween(stepStart, clock.GetTicks()));
}

int32_t tIB_DynMenuWorker::RunHandler(const tMenuHandler& handler, uint8_t*& Buffer,
                                      int32_t* ResultCode) {
  SetResultCode(ResultCode, Result_ProcessingFailed);
  tMenuCommand command{*MenuDatabase, Log, *this, Buffer, ResultCode, {}};
  const tMenuDatabase::tCommandScope scope(*MenuDatabase, CommandDue);
  try {
    if (MenuDatabase->BeginCommand()) Log.Write("Transaction is active! Rollback");
    return handler.Run(command);
  } catch (const tQueryFailed& failure) {
    Log.WriteFailure(WithStepValues(
        Format("Error while processing %s Msg=\"%s\"", handler.QueryName, failure.what()),
        command.Step));
  } catch (...) {
    const tCurrentError error = CurrentError();
    Log.WriteFailure(WithStepValues(Format("Exception while processing %s Msg=\"%s\"",
                                           handler.ExceptionName, error.Message.c_str()),
                                    command.Step, error.CommitOutcomeUnknown));
  }
  SetResultCode(ResultCode, Result_ProcessingFailed);
  MenuDatabase->CommandFailed();
  return 1;
}
