// Command 102: records an action in the database's action protocol.
#include "dynmenu/uMenuDatabase.h"
#include "dynmenu/uMenuHandlers.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "log/tPlugInLog.h"
#include "log/uLogValue.h"
#include "log/uLogVocabulary.h"
#include "platform/Format.h"
#include "worker/uPlugInDynMenuErrors.h"
#include "worker/uPlugInWorker.h"

int32_t PostMenuAction(tMenuCommand& command) {
  const tByteView buffer = CommandView(command.Buffer);
  const uint32_t stepStart = command.Clock.GetTicks();
  if (!ActionKeyFits(buffer)) {
    command.Log.Write(
        Format("%s IN[session_id=%d, item_id=%d, "
               "item_key_offset=%u, item_key_length=%u]- %s [Item key outside the buffer]",
               StepMenuAction, buffer.ReadI32(ActionLayout::SessionId),
               buffer.ReadI32(ActionLayout::ItemId), buffer.ReadU32(ActionLayout::ItemKeyOffset),
               buffer.ReadU32(ActionLayout::ItemKeyLength), OutcomeFail));
    SetResultCode(command.ResultCode, Result_TooSmallOrNotFound);
    return 1;
  }
  const tActionRequest action = ReadActionRequest(buffer);
  command.Step = Format("%s IN[session_id=%d, item_id=%d, item_key=\"%s\"]", StepMenuAction,
                        action.SessionId, action.ItemId, LogValue(action.ItemKey).c_str());
  command.Database.Record(action.SessionId, action.ItemId, action.ItemKey);
  command.Log.Write(Format("%8d %s OUT[]- %s", StepMilliseconds(command.Clock, stepStart),
                           command.Step.c_str(), OutcomeSuccess));
  SetResultCode(command.ResultCode, Result_Success);
  return 0;
}
