#pragma once

#include <cstdint>
#include <string>

// What an attach sends besides the database's name.
struct tDatabaseParameters {
  // An empty text is not sent.
  std::string User{};
  std::string Password{};
  std::string Charset{};
  // Seconds the client library waits for the server's first answer; 0 is not sent.
  int32_t ConnectTimeout = 0;
};

// Builds the database parameter block for an attachment: the version byte,
// then per item sent its code and its value: user_name, password and lc_ctype
// as one length byte and the bytes, connect_timeout as a 4-byte integer; last
// set_bind, asking for Firebird 4's types in their legacy forms.
// Raises tDBError for a text longer than 255 bytes.
std::string BuildDatabaseParameterBlock(const tDatabaseParameters& parameters);
