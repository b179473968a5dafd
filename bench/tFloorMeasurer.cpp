#include "tFloorMeasurer.h"

#include <vector>

namespace {
std::string Select(const char* procedure, int32_t number) {
  return std::string("select *\r\nfrom ") + procedure + "(" + std::to_string(number) + ")\r\n";
}

std::vector<std::string> StatementTexts(tBenchCommand command, const std::string& key) {
  switch (command) {
    case tBenchCommand::StartItem:
      return {Select("MENU_GET_START_ITEM", BenchMenuId)};
    case tBenchCommand::ItemDesc:
      return {Select("MENU_GET_ITEM", BenchItemId),
              Select("MENU_GET_VOICE_ITEM_PARAMS", BenchItemId),
              Select("MENU_GET_CONNECTION", BenchConnectionId)};
    case tBenchCommand::Action:
      break;
  }
  return {"execute procedure menu_prot_actions(" + std::to_string(BenchSessionId) + "," +
          std::to_string(BenchItemId) + ",\"" + key + "\")\r\n"};
}
}  // namespace

void tFloorMeasurer::Run(tBenchCommand command, const std::string& key) {
  Client_.Probe();
  for (const std::string& text : StatementTexts(command, key)) {
    Client_.Start();
    tRawStatement statement = Client_.Prepare(text);
    Client_.Run(statement, {});
    Client_.Drop(statement);
    Client_.Commit();
  }
}
