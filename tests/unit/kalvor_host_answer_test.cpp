#include <gtest/gtest.h>

#include <cstring>

#include "dynmenu/uPlugInDynMenuTypes.h"
#include "uAnswerDecode.h"
#include "uAnswerJson.h"
#include "uAnswerText.h"
#include "uCommandRequests.h"

namespace {

// "Меню" in Windows-1251 and in UTF-8.
const std::string MenuCp1251 = "\xcc\xe5\xed\xfe";
const std::string MenuUtf8 = "\xd0\x9c\xd0\xb5\xd0\xbd\xd1\x8e";

std::vector<uint8_t> ItemAnswer(int32_t itemId, const tMenuItemDesc& desc) {
  const auto request = BuildMenuItemRequest(itemId);
  std::vector<uint8_t> answer(MenuItemAnswerLength(desc));
  std::memcpy(answer.data(), request.data(), ItemDescLayout::MinSize);
  tByteView view(answer.data(), static_cast<uint32_t>(answer.size()));
  WriteMenuItemAnswer(view, desc);
  return answer;
}

void SetOutcome(std::vector<uint8_t>& buffer, int32_t outcome, int32_t resultCode) {
  tByteView view(buffer.data(), static_cast<uint32_t>(buffer.size()));
  view.WriteI32(EnvelopeOutcomeOffset, outcome);
  view.WriteI32(EnvelopeResultCodeOffset, resultCode);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST(KalvorHostAnswer, VoiceItemIsShownFieldByFieldWithTextsInUtf8) {
  tMenuItemDesc desc;
  desc.ServiceId = MenuService_Voice;
  desc.ItemName = MenuCp1251;
  desc.Voice = {"a\"b.wav", "Macro", 2, 3, -1};
  desc.Connections = {{"1", 9, "on"}};
  const auto answer = DecodeItemDescAnswer(ItemAnswer(5, desc));
  ASSERT_TRUE(answer.Item);

  const auto text = ItemDescText(answer);
  EXPECT_TRUE(Contains(text, "result_code                 0 (success)")) << text;
  EXPECT_TRUE(Contains(text, "menu_service_id             1 (voice)")) << text;
  EXPECT_TRUE(Contains(text, "offset 100, length 4, \"" + MenuUtf8 + "\"")) << text;
  EXPECT_TRUE(Contains(text, "  voice_timeout             -1")) << text;
  EXPECT_TRUE(Contains(text, "  connection_item_id        9")) << text;

  const auto json = ItemDescJson(answer);
  EXPECT_TRUE(Contains(json, "\"item_name\":\"" + MenuUtf8 + "\"")) << json;
  EXPECT_TRUE(Contains(json, "\"synthez_list\":\"a\\\"b.wav\"")) << json;
  EXPECT_TRUE(Contains(json, "\"voice_repeat_count\":3,")) << json;
  EXPECT_TRUE(Contains(json, "\"connections\":[{\"offset\":")) << json;
  EXPECT_FALSE(Contains(json, "\"condition\"")) << json;
}

TEST(KalvorHostAnswer, FailedItemShowsOnlyTheEnvelopeAndTheId) {
  auto buffer = BuildMenuItemRequest(77);
  SetOutcome(buffer, 1, 2);
  const auto answer = DecodeItemDescAnswer(buffer);
  EXPECT_FALSE(answer.Envelope.Succeeded());
  EXPECT_FALSE(answer.Item) << "the request's zero fields are not decoded as an answer";
  EXPECT_EQ(ItemDescJson(answer),
            "{\"size\":60,\"command\":101,\"outcome\":1,\"result_code\":2,"
            "\"result\":\"buffer too small, or not found\",\"menu_item_id\":77}");
}

TEST(KalvorHostAnswer, AnswersThatContradictTheirLayoutAreRefused) {
  auto start = BuildStartItemRequest(1);
  start.pop_back();
  EXPECT_THROW(DecodeStartItemAnswer(start), tAnswerError) << "shorter than 24";
  auto grown = BuildStartItemRequest(1);
  grown.push_back(0);
  EXPECT_THROW(DecodeStartItemAnswer(grown), tAnswerError) << "size word differs from length";
  auto item = ItemAnswer(1, tMenuItemDesc{});
  tByteView(item.data(), 60).WriteU32(ItemDescLayout::ConnectionsCount, 1);
  EXPECT_THROW(DecodeItemDescAnswer(item), tAnswerError);
}

TEST(KalvorHostAnswer, StartItemAndActionFields) {
  auto start = BuildStartItemRequest(-4);
  tByteView(start.data(), 24).WriteI32(StartItemLayout::MenuStartItemId, 12);
  const auto decoded = DecodeStartItemAnswer(start);
  EXPECT_EQ(StartItemJson(decoded),
            "{\"size\":24,\"command\":100,\"outcome\":0,\"result_code\":0,\"result\":\"success\","
            "\"menu_id\":-4,\"menu_start_itemid\":12}");

  auto action = BuildActionRequest(3, 4, MenuCp1251);
  SetOutcome(action, 1, 1);
  auto shown = DecodeActionAnswer(action);
  EXPECT_TRUE(Contains(ActionText(shown), "processing failed"));
  EXPECT_TRUE(Contains(ActionJson(shown), "\"item_key_length\":4,\"item_key\":\"" + MenuUtf8));

  tByteView(action.data(), 36).WriteU32(ActionLayout::ItemKeyLength, 5);
  shown = DecodeActionAnswer(action);
  EXPECT_FALSE(shown.ItemKey);
  EXPECT_TRUE(Contains(ActionJson(shown), "\"item_key\":null"));
  EXPECT_TRUE(Contains(ActionText(shown), "outside the buffer"));
}

TEST(KalvorHostAnswer, ShownTextsKeepControlBytesOnOneLine) {
  EXPECT_EQ(QuotedText("a\r\nb\x01" + MenuCp1251), "\"a\\x0d\\x0ab\\x01" + MenuUtf8 + "\"");
}

TEST(KalvorHostAnswer, EveryResultCodeHasItsMeaning) {
  EXPECT_EQ(ResultMeaning(0), "success");
  EXPECT_EQ(ResultMeaning(1), "processing failed");
  EXPECT_EQ(ResultMeaning(2), "buffer too small, or not found");
  EXPECT_EQ(ResultMeaning(3), "command not recognised");
  EXPECT_EQ(ResultMeaning(9), "unknown result code");
}
