#include <gtest/gtest.h>

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
