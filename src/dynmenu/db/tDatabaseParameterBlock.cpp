#include "dynmenu/db/tDatabaseParameterBlock.h"

#include <ibase.h>

#include <limits>

#include "dynmenu/db/tDBError.h"
#include "dynmenu/db/uParameterBlockInteger.h"

namespace {

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
  return block;
}
