// Command 100: the start item of a menu, answered in place.
#include "dynmenu/uMenuDatabase.h"
#include "dynmenu/uMenuHandlers.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "log/tPlugInLog.h"
#include "log/uLogVocabulary.h"
#include "platform/Format.h"
#include "worker/uPlugInDynMenuErrors.h"
#include "worker/uPlugInWorker.h"

int32_t GetStartMenuItem(tMenuCommand& command) {
  tByteView buffer = CommandView(command.Buffer);
  const uint32_t stepStart = command.Clock.GetTicks();
  const int32_t menuId = ReadMenuId(buffer);
  command.Step = Format("%s IN[menu_id=%d]", StepStartItem, menuId);
  const std::vector<tDBRow> rows = command.Database.Read(tMenuStatement::StartItem, {menuId});
  const std::optional<int32_t> startItem =
      rows.empty() ? std::nullopt : rows.front().Integer("ITEM_START_ID");
  const int elapsed = StepMilliseconds(command.Clock, stepStart);
  if (!startItem) {
    command.Log.Write(
        Format("%8d %s OUT[]- %s [Menu not found]", elapsed, command.Step.c_str(), OutcomeFail));
    SetResultCode(command.ResultCode, Result_TooSmallOrNotFound);
    return 1;
  }
  WriteMenuStartItemId(buffer, *startItem);
  command.Log.Write(Format("%8d %s OUT[menu_start_itemid=%d]- %s", elapsed, command.Step.c_str(),
                           ReadMenuStartItemId(buffer), OutcomeSuccess));
  SetResultCode(command.ResultCode, Result_Success);
  return 0;
}
