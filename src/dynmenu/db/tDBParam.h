#pragma once

#include <cstdint>
#include <string>
#include <utility>

// One value for a "?" of a prepared statement: a 32-bit integer, or text sent
// as its bytes, unchanged, in the connection's character set.
struct tDBParam {
  tDBParam(int32_t number) : Number(number) {}
  tDBParam(std::string bytes) : IsText(true), Bytes(std::move(bytes)) {}

  bool IsText = false;
  int32_t Number = 0;
  std::string Bytes;
};
