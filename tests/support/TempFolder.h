// A fresh folder under the system's temporary folder, removed with its content.
#pragma once

#include <filesystem>
#include <string>

class TempFolder {
 public:
  explicit TempFolder(const std::string& stem = "kalvor");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return Folder; }
  std::string operator/(const std::string& name) const { return (Folder / name).string(); }

 private:
  std::filesystem::path Folder;
};

std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& content);
