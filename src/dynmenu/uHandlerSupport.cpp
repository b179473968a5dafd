#include "dynmenu/uHandlerSupport.h"

#include <exception>

#include "dynmenu/db/tDBError.h"
#include "dynmenu/uIBDynSrvWorker.h"
#include "worker/uFormat.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInDynMenuErrors.h"

tCurrentError CurrentError() {
  try {
    throw;
  } catch (const tDBError& error) {
    return {error.Message, error.CommitOutcomeUnknown};
  } catch (const std::exception& error) {
    return {error.what()};
  } catch (...) {
    return {"unknown error"};
  }
}

std::string WithStepValues(const std::string& line, const std::string& values,
                           bool commitOutcomeUnknown) {
  std::string full = line;
  if (!values.empty()) full += " " + values;
  if (commitOutcomeUnknown) full += " - commit outcome unknown";
  return full;
}

void tIB_DynMenuWorker::RollbackActiveTransaction() {
  if (!MenuDatabase.InTransaction()) return;
  WriteLog("Transaction is active! Rollback");
  // A rollback that fails drops the attachment with the transaction; the
  // command goes on and its query reconnects.
  MenuDatabase.RollbackQuietly();
}

bool tIB_DynMenuWorker::ExecuteHandlerQuery(const char* handlerName, const std::string& values) {
  std::string errorText;
  if (MenuDatabase.ExecuteQuery(errorText)) return true;
  WriteLog(WithStepValues(
      Format("Error while processing %s Msg=\"%s\"", handlerName, errorText.c_str()), values));
  return false;
}

void tIB_DynMenuWorker::LogCurrentError(const char* exceptionLine, const std::string& values) {
  const tCurrentError error = CurrentError();
  WriteLog(WithStepValues(Format(exceptionLine, error.Message.c_str()), values,
                          error.CommitOutcomeUnknown));
}

int32_t tIB_DynMenuWorker::AnswerCurrentError(int32_t* ResultCode, const char* exceptionLine,
                                              const std::string& values) {
  SetResultCode(ResultCode, Result_ProcessingFailed);
  LogCurrentError(exceptionLine, values);
  return 1;
}
