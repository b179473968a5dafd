#include "dynmenu/db/tDatabaseParameterBlock.h"

#include <ibase.h>

#include <limits>

#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/uParameterBlockInteger.h"

namespace {

// isc_dpb_set_bind of Firebird 4's headers, which the Firebird 3 ones lack.
constexpr char SetBindItem = 93;
// A procedure's Firebird 4 types arrive as BIGINT, DOUBLE PRECISION and
// TIMESTAMP, which every client reads; a Firebird 3 server ignores the item.
constexpr char LegacyTypes[] = "int128 to legacy; decfloat to legacy; time zone to legacy";

void AppendText(std::string& block, char code, const char* name, const std::string& value) {
  if (value.empty()) return;
  if (value.size() > std::numeric_limits<unsigned char>::max())
    throw tDBError("Connection parameter '" + std::string(name) + "' is longer than 255 bytes");
  block += code;
  block += static_cast<char>(value.size());
  block += value;
}

}  // namespace

std::string BuildDatabaseParameterBlock(const tDatabaseParameters& parameters) {
  std::string block(1, static_cast<char>(isc_dpb_version1));
  AppendText(block, isc_dpb_user_name, "user_name", parameters.User);
  AppendText(block, isc_dpb_password, "password", parameters.Password);
  AppendText(block, isc_dpb_lc_ctype, "lc_ctype", parameters.Charset);
  if (parameters.ConnectTimeout > 0) {
    block += static_cast<char>(isc_dpb_connect_timeout);
    AppendParameterBlockInteger(block, parameters.ConnectTimeout);
  }
  AppendText(block, SetBindItem, "set_bind", LegacyTypes);
  return block;
}
