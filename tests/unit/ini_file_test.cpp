#include <gtest/gtest.h>

#include <filesystem>

#include "platform/IniFile.h"
#include "support/TempFolder.h"

TEST(IniFile, MatchesSectionsAndKeysWithoutRegardToCase) {
  TempFolder folder;
  const std::string path = folder / "Kalvor.ini";
  WriteWholeFile(path, "[MAIN]\nloglevel=0x10\nDbName = host:/x.fdb\nEmpty=\n");
  const auto ini = tIniFile::Load(path);
  EXPECT_EQ(ini->ReadString("Main", "LogLevel", "1"), "0x10");
  EXPECT_EQ(ini->ReadString("main", "DBNAME", ""), "host:/x.fdb");
  EXPECT_EQ(ini->ReadString("Main", "Empty", "fallback"), "");
  EXPECT_EQ(ini->ReadString("Main", "Missing", "fallback"), "fallback");
  EXPECT_TRUE(ini->HasKey("MAIN", "empty"));
}

TEST(IniFile, WritesOneKeyAtATimeKeepingWhatIsThere) {
  TempFolder folder;
  const std::string path = folder / "Kalvor.ini";
  tIniFile::WriteString(path, "Main", "DBName", "a:/b.fdb");
  tIniFile::WriteString(path, "Main", "LogLevel", "255");
  const auto ini = tIniFile::Load(path);
  EXPECT_EQ(ini->ReadString("Main", "DBName", ""), "a:/b.fdb");
  EXPECT_EQ(ini->ReadString("Main", "LogLevel", ""), "255");
  EXPECT_THROW(tIniFile::WriteString(folder / "missing/x.ini", "Main", "K", "V"), tIniError);
}

TEST(IniFile, QuotedValuesLoseTheirQuotesAndUnreadableFilesSayWhy) {
  TempFolder folder;
  const std::string path = folder / "Kalvor.ini";
  WriteWholeFile(path,
                 "[Main]\nDBName=\"/x.fdb\"\nDBUser='SYSDBA'\nInner=a\"b\"\nOne=\"\nOdd=\"x'\n");
  const auto ini = tIniFile::Load(path);
  EXPECT_EQ(ini->ReadString("Main", "DBName", ""), "/x.fdb");
  EXPECT_EQ(ini->ReadString("Main", "DBUser", ""), "SYSDBA");
  EXPECT_EQ(ini->ReadString("Main", "Inner", ""), "a\"b\"");
  EXPECT_EQ(ini->ReadString("Main", "One", ""), "\"");
  EXPECT_EQ(ini->ReadString("Main", "Odd", ""), "\"x'");

  const std::string folderPath = folder / "folder.ini";
  std::filesystem::create_directory(folderPath);
  EXPECT_TRUE(tIniFile::FileExists(folderPath));
  try {
    tIniFile::Load(folderPath);
    ADD_FAILURE() << "a folder read as an ini file";
  } catch (const tIniError& error) {
    EXPECT_EQ(std::string(error.what()), "cannot read " + folderPath + ": Is a directory");
  }
}

// Notepad's encodings: UTF-8 with or without a byte order mark and UTF-16 are
// read as such, their values converted into the connection's character set;
// a Windows-1251 file stays as its bytes are. "Пароль" in each.
TEST(IniFile, ReadsTheEncodingsNotepadSavesAndConvertsUnicodeValues) {
  const std::string utf8 = "\xD0\x9F\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C";
  const std::string cp1251 = "\xCF\xE0\xF0\xEE\xEB\xFC";
  std::string utf16 = "\xFF\xFE";
  for (const char c : std::string("[Main]\r\nDBPWD=")) utf16 += std::string{c, '\0'};
  utf16 += std::string("\x1F\x04\x30\x04\x40\x04\x3E\x04\x3B\x04\x4C\x04", 12);
  const struct {
    std::string Bytes;
    tIniEncoding Encoding;
  } files[] = {
      {"[Main]\nDBPWD=" + utf8 + "\n", tIniEncoding::Utf8},
      {"\xEF\xBB\xBF[Main]\nDBPWD=" + utf8 + "\n", tIniEncoding::Utf8WithByteOrderMark},
      {utf16, tIniEncoding::Utf16LittleEndian},
      {"[Main]\nDBPWD=" + cp1251 + "\n", tIniEncoding::EightBit},
  };
  TempFolder folder;
  const std::string path = folder / "Kalvor.ini";
  for (const auto& file : files) {
    WriteWholeFile(path, file.Bytes);
    const auto ini = tIniFile::Load(path);
    EXPECT_EQ(ini->Encoding(), file.Encoding) << EncodingName(file.Encoding);
    EXPECT_TRUE(ini->ConvertValues(*FindCharacterSet("win1251")).empty());
    EXPECT_EQ(ini->ReadString("Main", "DBPWD", ""), cp1251) << EncodingName(file.Encoding);
  }
  // A character the set lacks leaves its value as it was read, and says where.
  WriteWholeFile(path, "[Main]\nDBPWD=" + utf8 + "\nDBUser=\xE2\x82\xAC\n");
  const auto ini = tIniFile::Load(path);
  EXPECT_EQ(ini->ConvertValues(*FindCharacterSet("KOI8R")),
            std::vector<std::string>{"Main/DBUser"});
  EXPECT_EQ(ini->ReadString("Main", "DBPWD", ""), "\xF0\xC1\xD2\xCF\xCC\xD8");
  EXPECT_EQ(DecodeIniText("[Main]\nA=b\n").Encoding, tIniEncoding::Ascii);
}
