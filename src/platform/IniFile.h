// Ini files: sections in brackets, key=value lines, names matched without
// regard to case, in ASCII, an 8-bit code page, UTF-8 with or without a byte
// order mark, or UTF-16 with one (IniText.h).
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/CharacterSets.h"
#include "platform/IniText.h"

class tIniData;

class tIniError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An in-memory copy of one ini file.
class tIniFile {
 public:
  // Reads the whole file; raises tIniError("cannot read <path>: <reason>") when
  // it cannot be read (no permission, a folder in its place, ...).
  static std::unique_ptr<tIniFile> Load(const std::string& path);

  ~tIniFile();
  tIniFile(const tIniFile&) = delete;
  tIniFile& operator=(const tIniFile&) = delete;

  // A value in matching double or single quotes comes without them, as the
  // Windows profile reader gives it (DBName="/x.fdb" reads /x.fdb).
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  bool HasKey(const std::string& section, const std::string& key) const;

  // How the file's bytes were read.
  tIniEncoding Encoding() const;
  // A Unicode file's values are UTF-8 until they are converted into the
  // character set they are used in; an ASCII or 8-bit file's stay as they
  // are. Returns the keys ("Section/Key") whose values the set cannot hold:
  // those stay UTF-8.
  std::vector<std::string> ConvertValues(const tCharacterSet& set);

  // Writes one key straight to the file on disk, creating the file when missing;
  // raises tIniError("Unable to write to <path>") on failure.
  static void WriteString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& value);

  // True when anything is there under the name: a file, or a folder in its place.
  static bool FileExists(const std::string& path);

 private:
  tIniFile();
  // Each platform's: the file's bytes, or tIniError as Load says.
  static std::string ReadBytes(const std::string& path);

  std::unique_ptr<tIniData> Data;
};
