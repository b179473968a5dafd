#include "dynmenu/db/uParameterBlockInteger.h"

void AppendParameterBlockInteger(std::string& block, int32_t value) {
  const auto bits = static_cast<uint32_t>(value);
  block += static_cast<char>(4);
  for (int shift = 0; shift < 32; shift += 8) block += static_cast<char>(bits >> shift & 0xFF);
}
