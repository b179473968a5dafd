#include "tBestCaseMeasurer.h"

tBestCaseMeasurer::tBestCaseMeasurer(const std::string& dbName, const std::string& password)
    : Client_(dbName, password) {
  Client_.Start();
  StartItem_ = Client_.Prepare("select * from MENU_GET_START_ITEM(?)");
  Item_ = Client_.Prepare("select * from MENU_GET_ITEM(?)");
  Voice_ = Client_.Prepare("select * from MENU_GET_VOICE_ITEM_PARAMS(?)");
  Connection_ = Client_.Prepare("select * from MENU_GET_CONNECTION(?)");
  Action_ = Client_.Prepare("execute procedure menu_prot_actions(?,?,?)");
}

void tBestCaseMeasurer::Run(tBenchCommand command, const std::string& key) {
  switch (command) {
    case tBenchCommand::StartItem:
      Client_.Run(StartItem_, {BenchMenuId});
      break;
    case tBenchCommand::ItemDesc:
      Client_.Run(Item_, {BenchItemId});
      Client_.Run(Voice_, {BenchItemId});
      Client_.Run(Connection_, {BenchConnectionId});
      break;
    case tBenchCommand::Action:
      Client_.Run(Action_, {BenchSessionId, BenchItemId, key});
      break;
  }
}

void tBestCaseMeasurer::EndRound() {
  Client_.Commit();
  Client_.Start();
}
