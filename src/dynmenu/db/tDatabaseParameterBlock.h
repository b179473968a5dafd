#pragma once

#include <string>
#include <vector>

// Builds the database parameter block for an attachment from "name=value"
// lines: the version byte, then per line its item code, one length byte and
// the value. Known names: user_name, password, lc_ctype. Raises tDBError for
// an unknown name, a line without "=", or a value longer than 255 bytes.
std::string BuildDatabaseParameterBlock(const std::vector<std::string>& params);
