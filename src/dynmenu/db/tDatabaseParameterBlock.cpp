#include "dynmenu/db/tDatabaseParameterBlock.h"

#include <ibase.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <string_view>

#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/uParameterBlockInteger.h"

namespace {

struct tItem {
  std::string_view Name;
  char Code;
  bool Numeric;
};

// A constant table: nothing of it is destroyed at exit.
constexpr std::array<tItem, 4> kItems{{
    {"user_name", isc_dpb_user_name, false},
    {"password", isc_dpb_password, false},
    {"lc_ctype", isc_dpb_lc_ctype, false},
    {"connect_timeout", isc_dpb_connect_timeout, true},
}};

tItem ItemOf(const std::string& name) {
  const auto found = std::find_if(kItems.begin(), kItems.end(),
                                  [&name](const tItem& item) { return item.Name == name; });
  if (found == kItems.end()) throw tDBError("Unknown connection parameter '" + name + "'");
  return *found;
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
