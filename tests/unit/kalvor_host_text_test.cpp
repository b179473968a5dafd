#include <gtest/gtest.h>

#include <stdexcept>

#include "uCp1251.h"
#include "uHex.h"
#include "uJson.h"
#include "uMenuDot.h"

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
