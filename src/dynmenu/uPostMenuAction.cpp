// Command 102: records an action in the database's action protocol.
#include "dynmenu/uHandlerSupport.h"
#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "log/uLogValue.h"
#include "worker/uFormat.h"
#include "worker/uPlugInDynMenuErrors.h"

namespace {
constexpr const char* ExceptionLine =
    "Exception while processing onDynMenu_PostMenuAction Msg=\"%s\"";
}  // namespace

int32_t tIB_DynMenuWorker::PostMenuAction(uint8_t*& Buffer, int32_t* ResultCode) {
  SetResultCode(ResultCode, Result_ProcessingFailed);
  std::string stepText;
  try {
    RollbackActiveTransaction();
    const tByteView buffer = CommandView(Buffer);
    const uint32_t stepStart = GetTicks();
    if (!ActionKeyFits(buffer)) {
      WriteLog(
          Format("PostMenuAction(MENU_PROT_ACTIONS) IN[session_id=%d, item_id=%d, "
                 "item_key_offset=%u, item_key_length=%u]- FAIL [Item key outside the buffer]",
                 buffer.ReadI32(ActionLayout::SessionId), buffer.ReadI32(ActionLayout::ItemId),
                 buffer.ReadU32(ActionLayout::ItemKeyOffset),
                 buffer.ReadU32(ActionLayout::ItemKeyLength)));
      SetResultCode(ResultCode, Result_TooSmallOrNotFound);
      return 1;
    }
    const tActionRequest action = ReadActionRequest(buffer);
    stepText =
        Format("PostMenuAction(MENU_PROT_ACTIONS) IN[session_id=%d, item_id=%d, item_key=\"%s\"]",
               action.SessionId, action.ItemId, LogValue(action.ItemKey).c_str());
    MenuDatabase.SetStatement(tMenuStatement::Action,
                              {action.SessionId, action.ItemId, action.ItemKey});
    try {
      if (!ExecuteHandlerQuery("onDynMenu_PostMenuAction", stepText)) return 1;
      MenuDatabase.FinishQuery();
    } catch (...) {
      LogCurrentError(ExceptionLine, stepText);
      throw;
    }
    const int elapsed = static_cast<int>(TicksBetween(stepStart, GetTicks()));
    WriteLog(Format("%8d %s OUT[]- SUCCESS", elapsed, stepText.c_str()));
    SetResultCode(ResultCode, Result_Success);
    return 0;
  } catch (...) {
    return AnswerCurrentError(ResultCode, ExceptionLine, stepText);
  }
}
