#include "dynmenu/uHandlerSupport.h"

#include <exception>

#include "dynmenu/uIBDynSrvWorker.h"
#include "worker/uFormat.h"
#include "worker/uPlugInConst.h"
#include "worker/uPlugInDynMenuErrors.h"

std::string CurrentErrorMessage() {
  try {
    throw;
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "unknown error";
  }
}

void tIB_DynMenuWorker::RollbackActiveTransaction() {
  if (!Transaction->InTransaction()) return;
  WriteLog("Transaction is active! Rollback");
  Transaction->Rollback();
}

bool tIB_DynMenuWorker::ExecuteHandlerQuery(const char* handlerName) {
  std::string errorText;
  if (ExecuteQuery(errorText)) return true;
  WriteLog(Format("Error while processing %s Msg=\"%s\"", handlerName, errorText.c_str()));
  return false;
}

void tIB_DynMenuWorker::LogCurrentError(const char* exceptionLine) {
  WriteLog(Format(exceptionLine, CurrentErrorMessage().c_str()));
}

int32_t tIB_DynMenuWorker::AnswerCurrentError(int32_t* ResultCode, const char* exceptionLine) {
  SetResultCode(ResultCode, Result_ProcessingFailed);
  LogCurrentError(exceptionLine);
  return 1;
}

void SetProcedureSelect(tDBQuery& query, const char* procedure, int32_t number) {
  query.ClearText();
  query.AddLine("select *");
  query.AddLine(std::string("from ") + procedure + "(" + std::to_string(number) + ")");
}
