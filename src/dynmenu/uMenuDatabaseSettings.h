// What the menu database is reached with, fixed for the life of a tMenuDatabase.
#pragma once

#include <cstdint>
#include <string>

struct tMenuDatabaseSettings {
  // "host:path" through a server, or a path for the embedded engine.
  std::string DatabaseName;
  // An empty user, password or character set is not sent.
  std::string User;
  std::string Password;
  std::string Charset;
  // Seconds a whole attach may take; 0 leaves the client's own limit.
  int32_t ConnectTimeout = 0;
  // Seconds a request waits for the server's answer before it is cut off; 0 waits without limit.
  int32_t RequestTimeout = 0;
  // Seconds an action waits on a row another connection holds; 0 waits without limit.
  int32_t LockTimeout = 0;
  // Seconds from Command_Plugin to the callback; each command's own deadline
  // comes with it (tMenuDatabase::tCommandScope). 0: commands have none.
  int32_t CommandDeadline = 0;
};
