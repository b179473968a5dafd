#include "tSociMeasurer.h"

#include <soci/firebird/soci-firebird.h>

namespace {
void FetchAll(soci::statement& statement) {
  for (bool more = statement.execute(true); more;) more = statement.fetch();
}
}  // namespace

tSociMeasurer::tSociMeasurer(const std::string& dbName, const std::string& password,
                             bool preparedOnce)
    : Session_(*soci::factory_firebird(),
               "service=" + dbName + " user=SYSDBA password=" + password + " charset=WIN1251"),
      PreparedOnce_(preparedOnce) {
  if (!preparedOnce) return;
  const auto prepare = [&](const std::string& text, soci::row& row) {
    return std::make_unique<soci::statement>(
        (Session_.prepare << text, soci::use(Number_), soci::into(row)));
  };
  StartItem_ = prepare("select * from MENU_GET_START_ITEM(:n)", Rows_[0]);
  Item_ = prepare("select * from MENU_GET_ITEM(:n)", Rows_[1]);
  Voice_ = prepare("select * from MENU_GET_VOICE_ITEM_PARAMS(:n)", Rows_[2]);
  Connection_ = prepare("select * from MENU_GET_CONNECTION(:n)", Rows_[3]);
  Action_ = std::make_unique<soci::statement>(
      (Session_.prepare << "execute procedure menu_prot_actions(:s, :i, :k)", soci::use(SessionId_),
       soci::use(Number_), soci::use(Key_)));
  Session_.commit();
}

std::string tSociMeasurer::Name() const {
  return PreparedOnce_ ? "SOCI, prepared once" : "SOCI, one-time statements";
}

void tSociMeasurer::Run(tBenchCommand command, const std::string& key) {
  if (PreparedOnce_)
    RunPrepared(command, key);
  else
    RunOneTime(command, key);
  Session_.commit();
}

void tSociMeasurer::RunOneTime(tBenchCommand command, const std::string& key) {
  soci::row row;
  switch (command) {
    case tBenchCommand::StartItem:
      Session_ << "select * from MENU_GET_START_ITEM(:n)", soci::use(BenchMenuId), soci::into(row);
      break;
    case tBenchCommand::ItemDesc: {
      Session_ << "select * from MENU_GET_ITEM(:n)", soci::use(BenchItemId), soci::into(row);
      soci::row voice;
      Session_ << "select * from MENU_GET_VOICE_ITEM_PARAMS(:n)", soci::use(BenchItemId),
          soci::into(voice);
      soci::rowset<soci::row> rows = (Session_.prepare << "select * from MENU_GET_CONNECTION(:n)",
                                      soci::use(BenchConnectionId));
      for (auto it = rows.begin(); it != rows.end(); ++it) {
      }
      break;
    }
    case tBenchCommand::Action:
      Session_ << "execute procedure menu_prot_actions(:s, :i, :k)", soci::use(BenchSessionId),
          soci::use(BenchItemId), soci::use(key);
      break;
  }
}

void tSociMeasurer::RunPrepared(tBenchCommand command, const std::string& key) {
  switch (command) {
    case tBenchCommand::StartItem:
      Number_ = BenchMenuId;
      StartItem_->execute(true);
      break;
    case tBenchCommand::ItemDesc:
      Number_ = BenchItemId;
      Item_->execute(true);
      Voice_->execute(true);
      Number_ = BenchConnectionId;
      FetchAll(*Connection_);
      break;
    case tBenchCommand::Action:
      Number_ = BenchItemId;
      Key_ = key;
      Action_->execute(true);
      break;
  }
}
