#include "support/TempFolder.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

TempFolder::TempFolder(const std::string& stem) {
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate =
        std::filesystem::temp_directory_path() / (stem + "-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      Folder = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(Folder, ignored);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void WriteWholeFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}
