#pragma once

#include <string>
#include <vector>

// Builds the database parameter block for an attachment from "name=value"
// lines: the version byte, then per line its item code and its value. Known
// names: user_name, password, lc_ctype (texts: one length byte and the bytes)
// and connect_timeout (seconds, a decimal number sent as a 4-byte integer).
// Raises tDBError for an unknown name, a line without "=", a text longer than
// 255 bytes or a time-out that is not a number.
std::string BuildDatabaseParameterBlock(const std::vector<std::string>& params);
