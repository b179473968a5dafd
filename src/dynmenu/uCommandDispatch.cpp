// Routing of the envelope's command word to the menu handlers.
#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "worker/uPlugInDynMenuErrors.h"

namespace {
constexpr tMenuHandler StartItemHandler{&GetStartMenuItem, "onDynMenu_GetStartMenuItem",
                                        "onDynMenu_GetStartMenuItem"};
constexpr tMenuHandler ItemDescHandler{&GetMenuItemDesc, "onDynMenu_GetMenuItemDesc",
                                       "cmdDynMenu_GetItemDesc"};
constexpr tMenuHandler ActionHandler{&PostMenuAction, "onDynMenu_PostMenuAction",
                                     "onDynMenu_PostMenuAction"};
}  // namespace

int32_t tIB_DynMenuWorker::ProcessCommand(int32_t Code, uint8_t*& Buffer, int32_t* ResultCode) {
  const tMenuHandler* handler = nullptr;
  uint32_t minimum = 0;
  switch (Code) {
    case DynMenuCmd_GetStartMenuItem:
      handler = &StartItemHandler;
      minimum = StartItemLayout::MinSize;
      break;
    case DynMenuCmd_GetMenuItemDesc:
      handler = &ItemDescHandler;
      minimum = ItemDescLayout::MinSize;
      break;
    case DynMenuCmd_PostMenuAction:
      handler = &ActionHandler;
      minimum = ActionLayout::MinSize;
      break;
    default:
      SetResultCode(ResultCode, Result_UnknownCommand);
      return 1;
  }
  const int32_t checked = CheckBufferSize(Buffer, minimum, ResultCode);
  if (checked != 0) return checked;
  return RunHandler(*handler, Buffer, ResultCode);
}
