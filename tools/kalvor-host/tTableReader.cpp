#include "tTableReader.h"

#include <stdexcept>

#include "dynmenu/db/tDBQuery.h"

namespace {

// Seconds an attach waits for the server, as the plugin's own default.
constexpr int ConnectTimeoutSeconds = 5;

std::string SelectText(const std::string& table, const std::vector<std::string>& columns,
                       const std::string& order) {
  std::string text = "SELECT ";
  for (size_t at = 0; at < columns.size(); ++at) text += (at ? ", " : "") + columns[at];
  return text + " FROM " + table + " ORDER BY " + order;
}

// The status texts on one line, as a terminal shows an error best.
[[noreturn]] void Fail(const std::string& what, const tDBError& error) {
  std::string reason;
  for (size_t at = 0; at < error.Message.size(); ++at) {
    const bool lineEnd = error.Message.compare(at, 2, "\r\n") == 0;
    reason += lineEnd ? ' ' : error.Message[at];
    at += lineEnd;
  }
  throw std::runtime_error(what + ": " + reason);
}

}  // namespace

tTableReader::tTableReader(const tDatabaseSettings& settings) {
  Connection.DatabaseName = settings.Name;
  Connection.Parameters.User = settings.User.substr(0, 255);
  Connection.Parameters.Password = settings.Password.substr(0, 255);
  Connection.Parameters.ConnectTimeout = ConnectTimeoutSeconds;
  Transaction.ReadCommittedOnly = true;
  try {
    Connection.Open();
  } catch (const tDBError& error) {
    Fail("cannot open " + settings.Name, error);
  }
  try {
    Transaction.StartTransaction();
  } catch (const tDBError& error) {
    Fail("cannot start a transaction on " + settings.Name, error);
  }
}

std::vector<tNumberRow> tTableReader::Select(const std::string& table,
                                             const std::vector<std::string>& columns,
                                             const std::string& order) {
  const std::string text = SelectText(table, columns, order);
  std::vector<tNumberRow> rows;
  try {
    tDBQuery query(Connection, Transaction);
    query.AddLine(text);
    query.Open();
    for (; !query.Eof(); query.Next()) {
      const tDBRow row = query.CurrentRow();
      tNumberRow& numbers = rows.emplace_back();
      for (const auto& column : columns) numbers.push_back(row.Integer(column));
    }
    query.Close();
  } catch (const tDBError& error) {
    Fail(text, error);
  }
  return rows;
}

tMenuTables ReadMenuTables(const std::string& iniPath) {
  tTableReader reader(ReadDatabaseSettings(iniPath));
  tMenuTables tables;
  tables.Menus = reader.Select("MENUS", {"MENU_ID", "SEQ", "ITEM_START_ID"}, "1, 2");
  tables.Items = reader.Select("MENU_ITEMS", {"MENU_ITEM_ID", "SEQ", "MENU_CONNECTION_ID"}, "1, 2");
  tables.VoiceParams = reader.Select("MENU_VOICE_PARAMS", {"MENU_ITEM_ID", "SEQ"}, "1, 2");
  tables.ConditionParams = reader.Select("MENU_COND_PARAMS", {"MENU_ITEM_ID", "SEQ"}, "1, 2");
  tables.ConnectionRows = reader.Select("MENU_CONNECTION_ROWS",
                                        {"CONNECTION_ID", "CONNECTION_ITEM_ID"}, "1, ROW_ORDER");
  return tables;
}
