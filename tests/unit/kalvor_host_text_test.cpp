#include <gtest/gtest.h>

#include <stdexcept>

#include "uCp1251.h"
#include "uHex.h"
#include "uJson.h"
#include "uMenuDot.h"
#include "uMissingCause.h"
#include "uPluginLog.h"

TEST(KalvorHostText, Cp1251BecomesUtf8) {
  // "Привет, Ёж №1" in Windows-1251.
  EXPECT_EQ(Cp1251ToUtf8("\xcf\xf0\xe8\xe2\xe5\xf2, \xa8\xe6 \xb9"
                         "1"),
            "\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82, \xd0\x81\xd0\xb6 \xe2\x84\x96"
            "1");
  EXPECT_EQ(Cp1251ToUtf8("plain ascii\t"), "plain ascii\t");
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xef\xbf\xbd") << "the one byte without a character";
  EXPECT_EQ(Cp1251ToUtf8("\x88"), "\xe2\x82\xac") << "euro sign";
  EXPECT_EQ(Cp1251ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// A UTF-8 file loaded without isql's -ch UTF8 stores its bytes as if they
// were Windows-1251; real Windows-1251 text is not valid UTF-8.
TEST(KalvorHostText, Utf8StoredAsCp1251IsToldFromCp1251Text) {
  EXPECT_TRUE(IsUtf8OfCp1251Text("\xd0\x9f\xd1\x80\xd0\xb8 \xd0\x81\xe2\x84\x96 1"));
  EXPECT_FALSE(IsUtf8OfCp1251Text("\xcf\xf0\xe8\xe2\xe5\xf2, \xa8\xe6 \xb9 1"))
      << "the demo's own kind of text";
  EXPECT_FALSE(IsUtf8OfCp1251Text("\xce")) << "a Cyrillic O typed for a zero";
  EXPECT_FALSE(IsUtf8OfCp1251Text("plain ascii"));
  EXPECT_FALSE(IsUtf8OfCp1251Text("\xe4\xb8\xad")) << "valid UTF-8, but no Windows-1251 text";
}

TEST(KalvorHostText, JsonStringsEscapeWhatJsonForbids) {
  EXPECT_EQ(JsonString("say \"hi\" \\ bye"), "\"say \\\"hi\\\" \\\\ bye\"");
  EXPECT_EQ(JsonString("a\nb\r\tc"), "\"a\\nb\\r\\tc\"");
  EXPECT_EQ(JsonString(std::string("\x01\x1f", 2)), "\"\\u0001\\u001f\"");
  EXPECT_EQ(JsonString("\xd0\x9f"), "\"\xd0\x9f\"") << "UTF-8 passes as it is";
  EXPECT_EQ(tJsonObject().Add("n", -1).AddText("t", "x").AddRaw("a", JsonArray({"1", "2"})).Text(),
            "{\"n\":-1,\"t\":\"x\",\"a\":[1,2]}");
  EXPECT_EQ(tJsonObject().Text(), "{}");
}

TEST(KalvorHostText, DotLabelsEscapeQuotesAndBackslashes) {
  EXPECT_EQ(DotEscape("a \"b\" c\\d\ne"), "a \\\"b\\\" c\\\\d\\ne");
}

TEST(KalvorHostText, HexIsParsedWithSeparatorsAndRefusedWhenBroken) {
  EXPECT_EQ(ParseHex("0aFF 10:20-3"
                     "0"),
            (std::vector<uint8_t>{0x0a, 0xff, 0x10, 0x20, 0x30}));
  EXPECT_TRUE(ParseHex("").empty());
  EXPECT_THROW(ParseHex("abc"), std::invalid_argument);
  EXPECT_THROW(ParseHex("0g"), std::invalid_argument);
  EXPECT_THROW(ParseHex("a b"), std::invalid_argument);
}

TEST(KalvorHostText, HexDumpShowsOffsetsPerSixteenBytes) {
  std::vector<uint8_t> bytes(17);
  bytes[16] = 0xab;
  const std::string dump = HexDump(bytes);
  EXPECT_EQ(dump.substr(0, 10), "00000000: ");
  EXPECT_NE(dump.find("\n00000010: ab\n"), std::string::npos) << dump;
  EXPECT_EQ(HexString({0x01, 0xfe}), "01fe");
}

TEST(KalvorHostText, TypedUtf8BecomesCp1251OrIsRefused) {
  std::string everyByte;
  for (int byte = 1; byte < 256; ++byte)
    if (byte != 0x98) everyByte += static_cast<char>(byte);
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(everyByte)), everyByte) << "every character comes back";
  EXPECT_THROW(Utf8ToCp1251("\xe4\xb8\xad"), tConversionError) << "outside the code page";
  EXPECT_THROW(Utf8ToCp1251("\xef\xbf\xbd"), tConversionError) << "the replacement character";
  EXPECT_THROW(Utf8ToCp1251("\xd0"), tConversionError) << "cut short";
  EXPECT_THROW(Utf8ToCp1251("\xc0\x80"), tConversionError) << "overlong";
  EXPECT_THROW(Utf8ToCp1251("\x81"), tConversionError) << "no lead byte";
}

TEST(KalvorHostText, TheLastCommandFrameOfTheLogTellsWhatWasMissing) {
  const std::vector<std::string> log = {
      "10:00:00.000 Init SUCCESS. Ready To Work",
      "10:00:00.001 --New Operation was complete started-->",
      "10:00:00.002        1 GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=7] OUT[]- NOT FOUND",
      "10:00:00.003 <--Operation was complete [2]--",
      "10:00:00.004 --New Operation was complete started-->",
      "10:00:00.005        0 GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=72] "
      "OUT[menu_service_id=1, "
      "menu_connection_id=-1, menu_item_name=\"Mute\", menu_connection_name=\"\"]- SUCCESS",
      "10:00:00.006        0 GetVoiceMenuItemParams(MENU_GET_VOICE_ITEM_PARAMS) "
      "IN[menu_item_id=72] OUT[]- NOT FOUND",
      "10:00:00.007 <--Operation was complete [3]--",
      "10:00:00.008 Finalize",
  };
  const auto frame = LastCommandFrame(log);
  ASSERT_EQ(frame.size(), 4u);
  EXPECT_EQ(frame.front(), log[4]);
  EXPECT_EQ(frame.back(), log[7]);
  EXPECT_EQ(MissingCauseOf(72, frame), tMissingCause::VoiceParams);
  EXPECT_EQ(MissingCauseOf(7, log), tMissingCause::Item);
  EXPECT_EQ(MissingCauseOf(7, frame), tMissingCause::Unknown) << "another command's line";
  EXPECT_EQ(MissingCauseOf(2, {"        0 GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=27] "
                               "OUT[]- NOT FOUND"}),
            tMissingCause::Unknown)
      << "item 27 is not item 2";
  const std::vector<std::string> unframed = {"a", "b"};
  EXPECT_EQ(LastCommandFrame(unframed), unframed);
  const std::vector<std::string> unfinished(log.begin(), log.begin() + 3);
  EXPECT_EQ(LastCommandFrame(unfinished).size(), 2u) << "a command that never finished";
}
