// The menu tables of the demo schema (sql/schema.sql), read directly: what
// the commands cannot show, such as items nothing leads to and rows the
// procedures never return. Only numbers are read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One table row; a column that is NULL is absent.
using tNumberRow = std::vector<std::optional<int32_t>>;

struct tMenuTables {
  std::vector<tNumberRow> Menus;            // MENU_ID, SEQ, ITEM_START_ID
  std::vector<tNumberRow> Items;            // MENU_ITEM_ID, SEQ, MENU_CONNECTION_ID
  std::vector<tNumberRow> VoiceParams;      // MENU_ITEM_ID, SEQ
  std::vector<tNumberRow> ConditionParams;  // MENU_ITEM_ID, SEQ
  std::vector<tNumberRow> ConnectionRows;   // CONNECTION_ID, CONNECTION_ITEM_ID
};

// The database the plugin's ini names (DBName, DBUser, DBPWD in [Main]),
// opened through the client library with its own connection. Raises
// std::runtime_error saying what failed.
tMenuTables ReadMenuTables(const std::string& iniPath);
