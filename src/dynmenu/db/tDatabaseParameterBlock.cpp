#include "dynmenu/db/tDatabaseParameterBlock.h"

#include <ibase.h>

#include <limits>
#include <map>

#include "dynmenu/db/tDBError.h"

namespace {

char ItemCode(const std::string& name) {
  static const std::map<std::string, char> kCodes{
      {"user_name", isc_dpb_user_name},
      {"password", isc_dpb_password},
      {"lc_ctype", isc_dpb_lc_ctype},
  };
  const auto found = kCodes.find(name);
  if (found == kCodes.end()) throw tDBError("Unknown connection parameter '" + name + "'");
  return found->second;
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
    if (value.size() > std::numeric_limits<unsigned char>::max())
      throw tDBError("Connection parameter '" + name + "' is longer than 255 bytes");
    block += ItemCode(name);
    block += static_cast<char>(value.size());
    block += value;
  }
  return block;
}
