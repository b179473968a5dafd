// Routing of the envelope's command word to the menu handlers.
#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "platform/Format.h"
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
      LogUnanswerable(Code, Buffer, "unknown command", Result_UnknownCommand);
      SetResultCode(ResultCode, Result_UnknownCommand);
      return 1;
  }
  const int32_t checked = CheckBufferSize(Buffer, minimum, ResultCode);
  if (checked != 0) {
    LogUnanswerable(Code, Buffer,
                    Format("too small for the command's layout of %u bytes", minimum).c_str(),
                    Result_TooSmallOrNotFound);
    return checked;
  }
  if (!DefaultsWrittenTo.empty()) return AnswerUnconfigured(Code, ResultCode);
  return RunHandler(*handler, Buffer, ResultCode);
}

// A host's mistake answered before any database step says so inside the command's frame.
void tIB_DynMenuWorker::LogUnanswerable(int32_t Code, const uint8_t* Buffer, const char* why,
                                        int32_t resultCode) {
  Log.Write(Format("Command %d, size word %u: %s; answered with result code %d", Code,
                   EnvelopeSizeWord(Buffer), why, resultCode));
}

// The defaults just written point at nobody's database: every command says
// where the ini is and what it takes, instead of a connection failure.
int32_t tIB_DynMenuWorker::AnswerUnconfigured(int32_t Code, int32_t* ResultCode) {
  Log.Write(
      Format("Command %d not run: the ini file \"%s\" was just written with defaults and "
             "must be edited (DBName, DBUser, DBPWD), then read by Finalize_Plugin and "
             "Init_Plugin; answered with result code %d",
             Code, DefaultsWrittenTo.c_str(), Result_ProcessingFailed));
  SetResultCode(ResultCode, Result_ProcessingFailed);
  return 1;
}
