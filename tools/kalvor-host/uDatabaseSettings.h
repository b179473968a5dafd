// Where the plugin's ini says the menu database is.
#pragma once

#include <string>

struct tDatabaseSettings {
  std::string Name;      // DBName
  std::string User;      // DBUser
  std::string Password;  // DBPWD
};

// Keys matched without regard to case, quotes around a value dropped, as the
// plugin reads them; raises std::runtime_error when the file cannot be read.
tDatabaseSettings ReadDatabaseSettings(const std::string& iniPath);
