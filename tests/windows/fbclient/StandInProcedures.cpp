#include "StandInProcedures.h"

#include "StandInControl.h"

namespace StandIn {
namespace {

tCell Number(int32_t value) {
  return {false, value, {}};
}
tCell Text(const char* value) {
  return {false, 0, value};
}
const tCell Null{};
const std::vector<tColumn> ItemId{{"MENU_ITEM_ID", 0}};

const std::vector<tProcedure>& Procedures() {
  static const std::vector<tProcedure> procedures{
      {"MENU_GET_START_ITEM",
       {{"MENU_ID", 0}},
       {{"ITEM_START_ID", 0}},
       {{MenuId, {{Number(StartItemId)}}}}},
      {"MENU_GET_ITEM",
       ItemId,
       {{"MENU_SERVICE_ID", 0},
        {"MENU_CONNECTION_ID", 0},
        {"MENU_ITEM_NAME", 1000},
        {"MENU_CONNECTION_NAME", 1000}},
       {{VoiceItemId, {{Number(1), Number(ConnectionId), Text(Greeting), Text(MainMenu)}}},
        {ConditionItemId, {{Number(2), Null, Text(CheckHours), Null}}}}},
      {"MENU_GET_VOICE_ITEM_PARAMS",
       ItemId,
       {{"ITEM_SYNTHEZ_LIST", 4000},
        {"ITEM_MACRO_NAME", 1000},
        {"ITEM_SYNTHEZ_PLACE", 0},
        {"ITEM_REPEAT_COUNT", 0},
        {"ITEM_TIMEOUT", 0}},
       {{VoiceItemId, {{Text(Hello), Text(Macro), Number(SynthezPlace), Null, Number(Timeout)}}}}},
      {"MENU_GET_COND_ITEM_PARAMS",
       ItemId,
       {{"CONDITION_PROCESSOR_NAME", 1000}, {"CONDITION_DATA", 4000}},
       {{ConditionItemId, {{Text(Processor), Text(ConditionData)}}}}},
      {"MENU_GET_CONNECTION",
       {{"CONNECTION_ID", 0}},
       {{"CONNECTION_KEY", 1000}, {"CONNECTION_ITEM_ID", 0}, {"CONNECTION_WAY_DESC", 4000}},
       {{ConnectionId,
         {{Text(Rows[0].Key), Number(Rows[0].ItemId), Text(Rows[0].WayDesc)},
          {Text(Rows[1].Key), Number(Rows[1].ItemId), Text(Rows[1].WayDesc)}}}}},
      {"MENU_PROT_ACTIONS", {{"SESSION_ID", 0}, {"ITEM_ID", 0}, {"ITEM_KEY", 1000}}, {}, {}},
  };
  return procedures;
}

}  // namespace

const tRows& tProcedure::RowsFor(const std::vector<tCell>& arguments) const {
  static const tRows none;
  if (arguments.empty() || arguments[0].Null) return none;
  const auto found = RowsByFirstArgument.find(arguments[0].Number);
  return found == RowsByFirstArgument.end() ? none : found->second;
}

const tProcedure* FindProcedure(const std::string& name) {
  for (const tProcedure& procedure : Procedures())
    if (name == procedure.Name) return &procedure;
  return nullptr;
}

}  // namespace StandIn
