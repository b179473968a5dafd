#include "dynmenu/db/tDatabaseParameterBlock.h"

#include <ibase.h>

#include <charconv>
#include <limits>
#include <map>

#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/uParameterBlockInteger.h"

namespace {

struct tItem {
  char Code;
  bool Numeric;
};

tItem ItemOf(const std::string& name) {
  static const std::map<std::string, tItem> kItems{
      {"user_name", {isc_dpb_user_name, false}},
      {"password", {isc_dpb_password, false}},
      {"lc_ctype", {isc_dpb_lc_ctype, false}},
      {"connect_timeout", {isc_dpb_connect_timeout, true}},
  };
  const auto found = kItems.find(name);
  if (found == kItems.end()) throw tDBError("Unknown connection parameter '" + name + "'");
  return found->second;
}

void AppendText(std::string& block, const std::string& name, const std::string& value) {
  if (value.size() > std::numeric_limits<unsigned char>::max())
    throw tDBError("Connection parameter '" + name + "' is longer than 255 bytes");
  block += static_cast<char>(value.size());
  block += value;
}

void AppendNumber(std::string& block, const std::string& name, const std::string& value) {
  int32_t number = 0;
  const char* last = value.data() + value.size();
  const auto [end, error] = std::from_chars(value.data(), last, number);
  if (error != std::errc() || end != last)
    throw tDBError("Connection parameter '" + name + "' is not a number: '" + value + "'");
  AppendParameterBlockInteger(block, number);
}

}  // namespace

std::string BuildDatabaseParameterBlock(const std::vector<std::string>& params) {
  std::string block(1, static_cast<char>(isc_dpb_version1));
  for (const std::string& line : params) {
    const auto equals = line.find('=');
    if (equals == std::string::npos)
      throw tDBError("Malformed connection parameter '" + line + "'");
    const std::string name = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    const tItem item = ItemOf(name);
    block += item.Code;
    if (item.Numeric)
      AppendNumber(block, name, value);
    else
      AppendText(block, name, value);
  }
  return block;
}
