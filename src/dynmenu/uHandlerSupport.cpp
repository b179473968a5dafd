#include "dynmenu/uHandlerSupport.h"

#include <exception>

#include "dynmenu/uIBDynSrvWorker.h"

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

void SetProcedureSelect(tDBQuery& query, const char* procedure, int32_t number) {
  query.ClearText();
  query.AddLine("select *");
  query.AddLine(std::string("from ") + procedure + "(" + std::to_string(number) + ")");
}
