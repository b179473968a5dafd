// Routing of the envelope's command word to the menu handlers.
#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "worker/uPlugInDynMenuErrors.h"

int32_t tIB_DynMenuWorker::ProcessCommand(int32_t Code, uint8_t*& Buffer, int32_t* ResultCode) {
  MenuDatabase.RetryCount = 0;
  using tHandler = int32_t (tIB_DynMenuWorker::*)(uint8_t*&, int32_t*);
  tHandler handler = nullptr;
  uint32_t minimum = 0;
  switch (Code) {
    case DynMenuCmd_GetStartMenuItem:
      handler = &tIB_DynMenuWorker::GetStartMenuItem;
      minimum = StartItemLayout::MinSize;
      break;
    case DynMenuCmd_GetMenuItemDesc:
      handler = &tIB_DynMenuWorker::GetMenuItemDesc;
      minimum = ItemDescLayout::MinSize;
      break;
    case DynMenuCmd_PostMenuAction:
      handler = &tIB_DynMenuWorker::PostMenuAction;
      minimum = ActionLayout::MinSize;
      break;
    default:
      SetResultCode(ResultCode, Result_UnknownCommand);
      return 1;
  }
  const int32_t checked = CheckBufferSize(Buffer, minimum, ResultCode);
  if (checked != 0) return checked;
  return (this->*handler)(Buffer, ResultCode);
}
