// A command's statement that failed for good after its retries; what() is the
// text the failure line quotes, the statement and the server's words included.
#pragma once

#include <stdexcept>
#include <string>

class tQueryFailed : public std::runtime_error {
 public:
  explicit tQueryFailed(const std::string& text) : std::runtime_error(text) {}
};
