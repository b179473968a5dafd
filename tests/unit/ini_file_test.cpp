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
