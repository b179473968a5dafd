// Command 101: the description of one menu item, its parameters and its
// connection rows, answered in a new buffer of exactly the answer's length.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "dynmenu/uHandlerSupport.h"
#include "dynmenu/uIBDynSrvWorker.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "log/uLogValue.h"
#include "worker/uFormat.h"
#include "worker/uHeapBlock.h"
#include "worker/uPlugInDynMenuErrors.h"

namespace {
constexpr const char* ExceptionLine =
    "Exception while processing cmdDynMenu_GetItemDesc Msg=\"%s\"";

enum class tItemStep { Found, NotFound, QueryFailed };

// The database steps of one command 101, each writing its log line. The text
// of the step in progress is kept where the command's guard can read it.
class tItemDescReader {
 public:
  tItemDescReader(tIB_DynMenuWorker& worker, int32_t itemId, std::string& currentStep)
      : Worker(worker), ItemId(itemId), CurrentStep(currentStep) {}

  tItemStep ReadItem(tMenuItemDesc& desc);
  bool ReadVoiceParams(tVoiceParams& voice);
  bool ReadConditionParams(tConditionParams& condition);
  void ReadConnection(tMenuItemDesc& desc);

 private:
  // The parameter and connection steps run once; an error closes what they opened.
  template <typename tRead>
  void RunFollowUp(tMenuStatement statement, int32_t number, tRead read);
  void LogCurrentError();
  tMenuDatabase& Database() { return Worker.MenuDatabase; }
  tDBField& Field(const char* name) { return Database().Result().FieldByName(name); }
  int Elapsed(uint32_t stepStart) {
    return static_cast<int>(TicksBetween(stepStart, Worker.GetTicks()));
  }

  tIB_DynMenuWorker& Worker;
  int32_t ItemId;
  std::string& CurrentStep;
};

void tItemDescReader::LogCurrentError() {
  Worker.LogCurrentError(ExceptionLine, CurrentStep);
}

template <typename tRead>
void tItemDescReader::RunFollowUp(tMenuStatement statement, int32_t number, tRead read) {
  Database().SetStatement(statement, {number});
  try {
    Database().RunFollowUp();
    read();
    Database().FinishQuery();
  } catch (...) {
    Database().RollbackQuietly();
    LogCurrentError();
    throw;
  }
}

tItemStep tItemDescReader::ReadItem(tMenuItemDesc& desc) {
  const uint32_t stepStart = Worker.GetTicks();
  const std::string stepText = Format("GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=%d]", ItemId);
  CurrentStep = stepText;
  bool found = false;
  try {
    Database().SetStatement(tMenuStatement::Item, {ItemId});
    if (!Worker.ExecuteHandlerQuery("onDynMenu_GetMenuItemDesc", stepText))
      return tItemStep::QueryFailed;
    found = !Field("MENU_SERVICE_ID").IsNull();
    if (found) {
      desc.ServiceId = Field("MENU_SERVICE_ID").AsInteger();
      tDBField& connection = Field("MENU_CONNECTION_ID");
      desc.ConnectionId = connection.IsNull() ? -1 : connection.AsInteger();
      desc.ItemName = Field("MENU_ITEM_NAME").AsString();
      desc.ConnectionName = Field("MENU_CONNECTION_NAME").AsString();
    }
    Database().FinishQuery();
  } catch (...) {
    // The result stays open; the next command closes it.
    LogCurrentError();
    throw;
  }
  const int elapsed = Elapsed(stepStart);
  if (!found) {
    Worker.WriteLog(Format("%8d %s OUT[]- %s", elapsed, stepText.c_str(), "NOT FOUND"));
    return tItemStep::NotFound;
  }
  Worker.WriteLog(
      Format("%8d %s OUT[menu_service_id=%d, menu_connection_id=%d, "
             "menu_item_name=\"%s\", menu_connection_name=\"%s\"]- %s",
             elapsed, stepText.c_str(), desc.ServiceId, desc.ConnectionId,
             LogValue(desc.ItemName).c_str(), LogValue(desc.ConnectionName).c_str(), "SUCCESS"));
  return tItemStep::Found;
}

bool tItemDescReader::ReadVoiceParams(tVoiceParams& voice) {
  const uint32_t stepStart = Worker.GetTicks();
  const std::string stepText =
      Format("GetVoiceMenuItemParams(MENU_GET_VOICE_ITEM_PARAMS) IN[menu_item_id=%d]", ItemId);
  CurrentStep = stepText;
  bool found = false;
  RunFollowUp(tMenuStatement::VoiceParams, ItemId, [&] {
    found = Database().Result().RecordCount() > 0;
    if (!found) return;
    voice.SynthezList = Field("ITEM_SYNTHEZ_LIST").AsString();
    voice.MacroName = Field("ITEM_MACRO_NAME").AsString();
    voice.SynthezPlace = Field("ITEM_SYNTHEZ_PLACE").AsInteger();
    tDBField& repeatCount = Field("ITEM_REPEAT_COUNT");
    voice.RepeatCount = repeatCount.IsNull() ? 1 : repeatCount.AsInteger();
    tDBField& timeout = Field("ITEM_TIMEOUT");
    voice.Timeout = timeout.IsNull() ? -1 : timeout.AsInteger();
  });
  const int elapsed = Elapsed(stepStart);
  if (!found) {
    Worker.WriteLog(Format("%8d %s OUT[]- %s", elapsed, stepText.c_str(), "NOT FOUND"));
    return false;
  }
  Worker.WriteLog(
      Format("%8d %s OUT[voice_synthez_list=\"%s\", voice_synthez_place=%d, "
             "voice_repeat_count=%d, voice_timeout=%d, voice_macro_name=\"%s\"]- %s",
             elapsed, stepText.c_str(), LogValue(voice.SynthezList).c_str(), voice.SynthezPlace,
             voice.RepeatCount, voice.Timeout, LogValue(voice.MacroName).c_str(), "SUCCESS"));
  return true;
}

bool tItemDescReader::ReadConditionParams(tConditionParams& condition) {
  const uint32_t stepStart = Worker.GetTicks();
  const std::string stepText =
      Format("GetConditionMenuItemParams(MENU_GET_COND_ITEM_PARAMS) IN[menu_item_id=%d]", ItemId);
  CurrentStep = stepText;
  bool found = false;
  RunFollowUp(tMenuStatement::ConditionParams, ItemId, [&] {
    found = Database().Result().RecordCount() > 0;
    if (!found) return;
    condition.ProcessorName = Field("CONDITION_PROCESSOR_NAME").AsString();
    condition.Data = Field("CONDITION_DATA").AsString();
  });
  const int elapsed = Elapsed(stepStart);
  if (!found) {
    Worker.WriteLog(Format("%8d %s OUT[]- %s", elapsed, stepText.c_str(), "NOT FOUND"));
    return false;
  }
  Worker.WriteLog(Format("%8d %s OUT[cond_plugin=\"%s\", cond_data=\"%s\"]- %s", elapsed,
                         stepText.c_str(), LogValue(condition.ProcessorName).c_str(),
                         LogValue(condition.Data).c_str(), "SUCCESS"));
  return true;
}

void tItemDescReader::ReadConnection(tMenuItemDesc& desc) {
  const uint32_t stepStart = Worker.GetTicks();
  const std::string stepText =
      Format("GetMenuItemDesc(MENU_GET_CONNECTION) IN[item_connection_id=%d]", desc.ConnectionId);
  CurrentStep = stepText;
  RunFollowUp(tMenuStatement::Connection, desc.ConnectionId, [&] {
    tDBQuery& query = Database().Result();
    for (query.First(); !query.Eof(); query.Next())
      desc.Connections.push_back({Field("CONNECTION_KEY").AsString(),
                                  Field("CONNECTION_ITEM_ID").AsInteger(),
                                  Field("CONNECTION_WAY_DESC").AsString()});
  });
  Worker.WriteLog(Format("%8d %s OUT[TABLE]- SUCCESS", Elapsed(stepStart), stepText.c_str()));
  if (desc.Connections.empty()) {
    Worker.WriteLog("TABLE => EMPTY");
    return;
  }
  Worker.WriteLog(Format("TABLE => [%zu]", desc.Connections.size()));
  for (const auto& row : desc.Connections)
    Worker.WriteLog(
        Format("connection_key=\"%s\", connection_item_id=%d, connection_way_desc=\"%s\"",
               LogValue(row.Key).c_str(), row.ItemId, LogValue(row.WayDesc).c_str()));
}

// Builds the whole answer in a block of its exact length, then hands the
// block over in place of the request; the request stays if anything fails.
void ReplaceWithAnswer(uint8_t*& Buffer, const tMenuItemDesc& desc) {
  const uint64_t length = MenuItemAnswerLength(desc);
  if (length > std::numeric_limits<uint32_t>::max())
    throw tLayoutError(Format("menu item answer of %llu bytes does not fit the size word",
                              static_cast<unsigned long long>(length)));
  tHeapBlock block(static_cast<uint8_t*>(std::malloc(length)));
  if (block.Get() == nullptr) throw std::bad_alloc();
  std::memcpy(block.Get(), Buffer, ItemDescLayout::MinSize);
  tByteView answer(block.Get(), static_cast<uint32_t>(length));
  WriteMenuItemAnswer(answer, desc);
  std::free(Buffer);
  Buffer = block.Release();
}
}  // namespace

int32_t tIB_DynMenuWorker::GetMenuItemDesc(uint8_t*& Buffer, int32_t* ResultCode) {
  SetResultCode(ResultCode, Result_ProcessingFailed);
  std::string currentStep;
  try {
    RollbackActiveTransaction();
    tMenuItemDesc desc;
    tItemDescReader reader(*this, ReadMenuItemId(CommandView(Buffer)), currentStep);
    const tItemStep item = reader.ReadItem(desc);
    if (item == tItemStep::QueryFailed) return 1;
    bool found = item == tItemStep::Found;
    if (found && desc.ServiceId == MenuService_Voice) found = reader.ReadVoiceParams(desc.Voice);
    if (found && desc.ServiceId == MenuService_Condition)
      found = reader.ReadConditionParams(desc.Condition);
    if (!found) {
      SetResultCode(ResultCode, Result_TooSmallOrNotFound);
      return 1;
    }
    if (desc.ConnectionId != -1) reader.ReadConnection(desc);
    ReplaceWithAnswer(Buffer, desc);
    SetResultCode(ResultCode, Result_Success);
    return 0;
  } catch (...) {
    return AnswerCurrentError(ResultCode, ExceptionLine, currentStep);
  }
}
