// Command 101: the description of one menu item, its parameters and its
// connection rows, answered in a new buffer of exactly the answer's length.
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>

#include "dynmenu/uMenuDatabase.h"
#include "dynmenu/uMenuHandlers.h"
#include "dynmenu/uPlugInDynMenuTypes.h"
#include "log/tPlugInLog.h"
#include "log/uLogValue.h"
#include "log/uLogVocabulary.h"
#include "platform/Format.h"
#include "worker/uHeapBlock.h"
#include "worker/uPlugInDynMenuErrors.h"
#include "worker/uPlugInWorker.h"

namespace {
// The database steps of one command 101, each writing its log line and
// naming itself in the command's step for a failure line.
class tItemDescReader {
 public:
  tItemDescReader(tMenuCommand& command, int32_t itemId) : Command(command), ItemId(itemId) {}

  bool ReadItem(tMenuItemDesc& desc);
  bool ReadVoiceParams(tVoiceParams& voice);
  bool ReadConditionParams(tConditionParams& condition);
  void ReadConnection(tMenuItemDesc& desc);

 private:
  // The first row of a parameter step, if it has one.
  std::optional<tDBRow> ReadFirstRow(tMenuStatement statement);
  void LogNotFound(uint32_t stepStart);
  void Log(const std::string& line) { Command.Log.Write(line); }

  tMenuCommand& Command;
  int32_t ItemId;
};

void tItemDescReader::LogNotFound(uint32_t stepStart) {
  Log(Format("%8d %s OUT[]- %s", StepMilliseconds(Command.Clock, stepStart), Command.Step.c_str(),
             OutcomeNotFound));
}

std::optional<tDBRow> tItemDescReader::ReadFirstRow(tMenuStatement statement) {
  std::vector<tDBRow> rows = Command.Database.ReadFollowUp(statement, {ItemId});
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

bool tItemDescReader::ReadItem(tMenuItemDesc& desc) {
  const uint32_t stepStart = Command.Clock.GetTicks();
  Command.Step = ItemStepText(StepItem, ItemId);
  const std::vector<tDBRow> rows = Command.Database.Read(tMenuStatement::Item, {ItemId});
  const std::optional<int32_t> serviceId =
      rows.empty() ? std::nullopt : rows.front().Integer("MENU_SERVICE_ID");
  if (!serviceId) {
    LogNotFound(stepStart);
    return false;
  }
  const tDBRow& row = rows.front();
  desc.ServiceId = *serviceId;
  desc.ConnectionId = row.Integer("MENU_CONNECTION_ID").value_or(-1);
  desc.ItemName = row.Text("MENU_ITEM_NAME").value_or("");
  desc.ConnectionName = row.Text("MENU_CONNECTION_NAME").value_or("");
  Log(
      Format("%8d %s OUT[menu_service_id=%d, menu_connection_id=%d, "
             "menu_item_name=\"%s\", menu_connection_name=\"%s\"]- %s",
             StepMilliseconds(Command.Clock, stepStart), Command.Step.c_str(), desc.ServiceId,
             desc.ConnectionId, LogValue(desc.ItemName).c_str(),
             LogValue(desc.ConnectionName).c_str(), OutcomeSuccess));
  return true;
}

bool tItemDescReader::ReadVoiceParams(tVoiceParams& voice) {
  const uint32_t stepStart = Command.Clock.GetTicks();
  Command.Step = ItemStepText(StepVoiceParams, ItemId);
  const std::optional<tDBRow> row = ReadFirstRow(tMenuStatement::VoiceParams);
  if (!row) {
    LogNotFound(stepStart);
    return false;
  }
  voice.SynthezList = row->Text("ITEM_SYNTHEZ_LIST").value_or("");
  voice.MacroName = row->Text("ITEM_MACRO_NAME").value_or("");
  voice.SynthezPlace = row->Integer("ITEM_SYNTHEZ_PLACE").value_or(0);
  voice.RepeatCount = row->Integer("ITEM_REPEAT_COUNT").value_or(1);
  voice.Timeout = row->Integer("ITEM_TIMEOUT").value_or(-1);
  Log(
      Format("%8d %s OUT[voice_synthez_list=\"%s\", voice_synthez_place=%d, "
             "voice_repeat_count=%d, voice_timeout=%d, voice_macro_name=\"%s\"]- %s",
             StepMilliseconds(Command.Clock, stepStart), Command.Step.c_str(),
             LogValue(voice.SynthezList).c_str(), voice.SynthezPlace, voice.RepeatCount,
             voice.Timeout, LogValue(voice.MacroName).c_str(), OutcomeSuccess));
  return true;
}

bool tItemDescReader::ReadConditionParams(tConditionParams& condition) {
  const uint32_t stepStart = Command.Clock.GetTicks();
  Command.Step = ItemStepText(StepConditionParams, ItemId);
  const std::optional<tDBRow> row = ReadFirstRow(tMenuStatement::ConditionParams);
  if (!row) {
    LogNotFound(stepStart);
    return false;
  }
  condition.ProcessorName = row->Text("CONDITION_PROCESSOR_NAME").value_or("");
  condition.Data = row->Text("CONDITION_DATA").value_or("");
  Log(Format("%8d %s OUT[cond_plugin=\"%s\", cond_data=\"%s\"]- %s",
             StepMilliseconds(Command.Clock, stepStart), Command.Step.c_str(),
             LogValue(condition.ProcessorName).c_str(), LogValue(condition.Data).c_str(),
             OutcomeSuccess));
  return true;
}

void tItemDescReader::ReadConnection(tMenuItemDesc& desc) {
  const uint32_t stepStart = Command.Clock.GetTicks();
  Command.Step = Format("%s IN[item_connection_id=%d]", StepConnection, desc.ConnectionId);
  for (const tDBRow& row :
       Command.Database.ReadFollowUp(tMenuStatement::Connection, {desc.ConnectionId}))
    desc.Connections.push_back({row.Text("CONNECTION_KEY").value_or(""),
                                row.Integer("CONNECTION_ITEM_ID").value_or(0),
                                row.Text("CONNECTION_WAY_DESC").value_or("")});
  Log(Format("%8d %s OUT[TABLE]- %s", StepMilliseconds(Command.Clock, stepStart),
             Command.Step.c_str(), OutcomeSuccess));
  if (desc.Connections.empty()) {
    Log("TABLE => EMPTY");
    return;
  }
  Log(Format("TABLE => [%zu]", desc.Connections.size()));
  for (const auto& row : desc.Connections)
    Log(Format("connection_key=\"%s\", connection_item_id=%d, connection_way_desc=\"%s\"",
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

int32_t GetMenuItemDesc(tMenuCommand& command) {
  tMenuItemDesc desc;
  tItemDescReader reader(command, ReadMenuItemId(CommandView(command.Buffer)));
  bool found = reader.ReadItem(desc);
  if (found && desc.ServiceId == MenuService_Voice) found = reader.ReadVoiceParams(desc.Voice);
  if (found && desc.ServiceId == MenuService_Condition)
    found = reader.ReadConditionParams(desc.Condition);
  if (!found) {
    SetResultCode(command.ResultCode, Result_TooSmallOrNotFound);
    return 1;
  }
  if (desc.ConnectionId != -1) reader.ReadConnection(desc);
  ReplaceWithAnswer(command.Buffer, desc);
  SetResultCode(command.ResultCode, Result_Success);
  return 0;
}
