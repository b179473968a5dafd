#include "uProcessFigures.h"

#include <filesystem>
#include <fstream>
#include <string>

tProcessFigures ReadProcessFigures() {
  tProcessFigures figures;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) figures.ResidentKb = std::stol(line.substr(6));
  std::error_code error;
  for (auto entry = std::filesystem::directory_iterator("/proc/self/fd", error);
       entry != std::filesystem::directory_iterator(); entry.increment(error))
    ++figures.OpenDescriptors;
  return figures;
}
