#include "uDatabaseSettings.h"

// Texts are 8-bit bytes, as the plugin reads them.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <stdexcept>

namespace {

std::string Unquoted(const std::string& value) {
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  return quoted ? value.substr(1, value.size() - 2) : value;
}

}  // namespace

tDatabaseSettings ReadDatabaseSettings(const std::string& iniPath) {
  CSimpleIniA ini(false, false, false);
  if (ini.LoadFile(iniPath.c_str()) < 0) throw std::runtime_error("cannot read " + iniPath);
  const auto value = [&ini](const char* key) { return Unquoted(ini.GetValue("Main", key, "")); };
  return {value("DBName"), value("DBUser"), value("DBPWD")};
}
