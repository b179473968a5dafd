#include "StandInStatementText.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace StandIn {
namespace {

const char SelectFirstRow[] = "SELECT FIRST 1 * FROM ";
const char Select[] = "SELECT * FROM ";
const char Execute[] = "EXECUTE PROCEDURE ";

// In capitals, each run of white space one space, none at either end.
std::string Normalised(const std::string& text) {
  std::string plain;
  for (const unsigned char c : text) {
    if (!std::isspace(c))
      plain += static_cast<char>(std::toupper(c));
    else if (!plain.empty() && plain.back() != ' ')
      plain += ' ';
  }
  if (!plain.empty() && plain.back() == ' ') plain.pop_back();
  return plain;
}

bool TakePrefix(std::string& text, const char* prefix) {
  if (text.rfind(prefix, 0) != 0) return false;
  text.erase(0, std::strlen(prefix));
  return true;
}

std::string WithoutSpaces(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  return text;
}

// "(?,?,?)" for three parameters.
std::string Markers(size_t count) {
  std::string markers = "(";
  for (size_t index = 0; index < count; ++index) markers += index == 0 ? "?" : ",?";
  return markers + ")";
}

}  // namespace

bool ParseStatementText(const std::string& text, tStatementText& parsed) {
  parsed = {};
  std::string rest = Normalised(text);
  parsed.FirstRowOnly = TakePrefix(rest, SelectFirstRow);
  parsed.Selects = parsed.FirstRowOnly || TakePrefix(rest, Select);
  if (!parsed.Selects && !TakePrefix(rest, Execute)) return false;
  const size_t open = rest.find('(');
  if (open == std::string::npos) return false;
  const tProcedure* procedure = FindProcedure(WithoutSpaces(rest.substr(0, open)));
  if (procedure == nullptr || parsed.Selects == procedure->Columns.empty()) return false;
  if (WithoutSpaces(rest.substr(open)) != Markers(procedure->Parameters.size())) return false;
  parsed.Procedure = procedure;
  return true;
}

}  // namespace StandIn
