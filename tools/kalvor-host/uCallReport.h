// A simulated call printed step by step, as text or as JSON.
#pragma once

#include <string>

#include "uMenuSimulate.h"

struct tCallHeader {
  int32_t MenuId = 0;
  int32_t SessionId = 0;
  bool DryRun = false;
};

std::string CallText(const tCallHeader& header, const tCall& call);
std::string CallJson(const tCallHeader& header, const tCall& call);
