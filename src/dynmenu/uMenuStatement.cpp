#include "dynmenu/uMenuStatement.h"

#include <array>
#include <string_view>

namespace {

// One or two lines; constant tables, so nothing of them is destroyed at exit.
using tLines = std::array<std::string_view, 2>;

// As the log shows them; a read of one row is prepared with "first 1" added.
constexpr std::array<tLines, MenuStatementCount> Lines = {{
    {"select *", "from MENU_GET_START_ITEM(?)"},
    {"select *", "from MENU_GET_ITEM(?)"},
    {"select *", "from MENU_GET_VOICE_ITEM_PARAMS(?)"},
    {"select *", "from MENU_GET_COND_ITEM_PARAMS(?)"},
    {"select *", "from MENU_GET_CONNECTION(?)"},
    {"execute procedure menu_prot_actions(?,?,?)"},
}};

constexpr std::array<tLines, MenuStatementCount> FirstRowLines = {{
    {"select first 1 *", "from MENU_GET_START_ITEM(?)"},
    {"select first 1 *", "from MENU_GET_ITEM(?)"},
    {"select first 1 *", "from MENU_GET_VOICE_ITEM_PARAMS(?)"},
    {"select first 1 *", "from MENU_GET_COND_ITEM_PARAMS(?)"},
}};

std::vector<std::string> LinesOf(const tLines& lines) {
  std::vector<std::string> result;
  for (const std::string_view line : lines)
    if (!line.empty()) result.emplace_back(line);
  return result;
}

std::string Shown(const tDBParam& value) {
  if (!value.IsText) return std::to_string(value.Number);
  std::string literal = "\"";
  for (const char c : value.Bytes) {
    if (c == '"') literal += '"';
    literal += c;
  }
  return literal + "\"";
}

}  // namespace

std::vector<std::string> PreparedLines(tMenuStatement statement) {
  const auto index = static_cast<size_t>(statement);
  return LinesOf(ReadsOneRow(statement) ? FirstRowLines[index] : Lines[index]);
}

bool WritesData(tMenuStatement statement) {
  return statement == tMenuStatement::Action;
}

bool ReadsOneRow(tMenuStatement statement) {
  return statement != tMenuStatement::Connection && statement != tMenuStatement::Action;
}

std::vector<std::string> ShownLines(tMenuStatement statement, const std::vector<tDBParam>& values) {
  std::vector<std::string> lines;
  size_t next = 0;
  for (const std::string& line : LinesOf(Lines[static_cast<size_t>(statement)])) {
    std::string shown;
    for (const char c : line) {
      if (c == '?' && next < values.size())
        shown += Shown(values[next++]);
      else
        shown += c;
    }
    lines.push_back(shown);
  }
  return lines;
}
