// Command 100: the start item of a menu, answered in place.
#include "dynmenu/uHandlerSupport.h"
#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "worker/uFormat.h"
#include "worker/uPlugInDynMenuErrors.h"

namespace {
constexpr const char* ExceptionLine =
    "Exception while processing onDynMenu_GetStartMenuItem Msg=\"%s\"";
}  // namespace

int32_t tIB_DynMenuWorker::GetStartMenuItem(uint8_t*& Buffer, int32_t* ResultCode) {
  SetResultCode(ResultCode, Result_ProcessingFailed);
  std::string stepText;
  try {
    RollbackActiveTransaction();
    tByteView buffer = CommandView(Buffer);
    const uint32_t stepStart = GetTicks();
    stepText = Format("GetStartMenuItem(MENU_GET_START_ITEM) IN[menu_id=%d]", ReadMenuId(buffer));
    MenuDatabase.SetStatement(tMenuStatement::StartItem, {ReadMenuId(buffer)});
    bool found = false;
    try {
      if (!ExecuteHandlerQuery("onDynMenu_GetStartMenuItem", stepText)) return 1;
      tDBField& startItem = MenuDatabase.Result().FieldByName("ITEM_START_ID");
      found = !startItem.IsNull();
      if (found) WriteMenuStartItemId(buffer, startItem.AsInteger());
      MenuDatabase.FinishQuery();
    } catch (...) {
      LogCurrentError(ExceptionLine, stepText);
      throw;
    }
    const int elapsed = static_cast<int>(TicksBetween(stepStart, GetTicks()));
    if (!found) {
      WriteLog(Format("%8d %s OUT[]- FAIL [Menu not found]", elapsed, stepText.c_str()));
      SetResultCode(ResultCode, Result_TooSmallOrNotFound);
      return 1;
    }
    WriteLog(Format("%8d %s OUT[menu_start_itemid=%d]- SUCCESS", elapsed, stepText.c_str(),
                    ReadMenuStartItemId(buffer)));
    SetResultCode(ResultCode, Result_Success);
    return 0;
  } catch (...) {
    return AnswerCurrentError(ResultCode, ExceptionLine, stepText);
  }
}
