#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "dynmenu/uPlugInDynMenuTypes.h"
#include "uCommandRequests.h"
#include "uMenuItemAnswer.h"

namespace {

// "Добро пожаловать" and "Главное меню" in Windows-1251.
const std::string Welcome = "\xc4\xee\xe1\xf0\xee \xef\xee\xe6\xe0\xeb\xee\xe2\xe0\xf2\xfc";
const std::string MainMenu = "\xc3\xeb\xe0\xe2\xed\xee\xe5 \xec\xe5\xed\xfe";

tMenuItemDesc VoiceItem() {
  tMenuItemDesc desc;
  desc.ServiceId = MenuService_Voice;
  desc.ConnectionId = 7;
  desc.ItemName = Welcome;
  desc.ConnectionName = MainMenu;
  desc.Voice = {"hello.wav;menu.wav", "OnWelcome", 3, 2, 5000};
  desc.Connections = {{"1", 11, "to sales"}, {"#", -12, ""}};
  return desc;
}

// Answers the way the handler does: the request's first 60 bytes, then the writer.
// The block starts out filled with 0xAA so that bytes the writer leaves out show.
std::vector<uint8_t> Answer(const tMenuItemDesc& desc, int32_t itemId = 42) {
  const auto request = BuildMenuItemRequest(itemId);
  std::vector<uint8_t> answer(MenuItemAnswerLength(desc), 0xAA);
  std::memcpy(answer.data(), request.data(), ItemDescLayout::MinSize);
  tByteView view(answer.data(), static_cast<uint32_t>(answer.size()));
  WriteMenuItemAnswer(view, desc);
  return answer;
}

tMenuItemAnswer Decode(const std::vector<uint8_t>& answer) {
  return DecodeMenuItemAnswer(tAnswerReader(answer.data(), static_cast<uint32_t>(answer.size())));
}

// What came through from the plugin's writer to a host's decoder.
tMenuItemDesc DescOf(const tMenuItemAnswer& item) {
  tMenuItemDesc desc;
  desc.ServiceId = item.ServiceId;
  desc.ConnectionId = item.ConnectionId;
  desc.ItemName = item.ItemName.Bytes;
  desc.ConnectionName = item.ConnectionName.Bytes;
  if (item.Voice)
    desc.Voice = {item.Voice->SynthezList.Bytes, item.Voice->MacroName.Bytes,
                  item.Voice->SynthezPlace, item.Voice->RepeatCount, item.Voice->Timeout};
  if (item.Condition) desc.Condition = {item.Condition->Plugin.Bytes, item.Condition->Data.Bytes};
  for (const auto& row : item.Rows)
    desc.Connections.push_back({row.Key.Bytes, row.ItemId, row.WayDesc.Bytes});
  return desc;
}

uint32_t U32At(const std::vector<uint8_t>& buffer, uint32_t offset) {
  return tConstByteView(buffer.data(), static_cast<uint32_t>(buffer.size())).ReadU32(offset);
}

void PutU32(std::vector<uint8_t>& buffer, uint32_t offset, uint32_t value) {
  tByteView(buffer.data(), static_cast<uint32_t>(buffer.size())).WriteU32(offset, value);
}

}  // namespace

TEST(ByteView, NumbersAreLittleEndianAtAnyAlignment) {
  uint8_t bytes[9] = {};
  tByteView view(bytes, sizeof bytes);
  view.WriteU32(1, 0x01020304u);
  EXPECT_EQ(bytes[1], 0x04);
  EXPECT_EQ(bytes[2], 0x03);
  EXPECT_EQ(bytes[3], 0x02);
  EXPECT_EQ(bytes[4], 0x01);
  view.WriteI32(5, -2);
  EXPECT_EQ(bytes[5], 0xFE);
  EXPECT_EQ(bytes[8], 0xFF);
  EXPECT_EQ(view.ReadI32(5), -2);
  EXPECT_EQ(view.ReadU32(1), 0x01020304u);
}

TEST(ByteView, RefusesEveryAccessBeyondTheEnd) {
  uint8_t bytes[8] = {};
  tByteView view(bytes, sizeof bytes);
  EXPECT_NO_THROW(view.ReadU32(4));
  EXPECT_THROW(view.ReadU32(5), tLayoutError);
  EXPECT_THROW(view.WriteU32(5, 0), tLayoutError);
  EXPECT_EQ(view.ReadBytes(8, 0), "");
  EXPECT_THROW(view.ReadBytes(9, 0), tLayoutError);
  EXPECT_THROW(view.ReadBytes(1, std::numeric_limits<uint64_t>::max()), tLayoutError);
  EXPECT_THROW(view.WriteBytes(6, "abc"), tLayoutError);
  EXPECT_THROW(view.ReadU32(std::numeric_limits<uint64_t>::max() - 1), tLayoutError);
}

TEST(StartItemLayout, RequestAndAnswerFields) {
  auto request = BuildStartItemRequest(-1);
  ASSERT_EQ(request.size(), StartItemLayout::MinSize);
  tByteView view(request.data(), static_cast<uint32_t>(request.size()));
  EXPECT_EQ(U32At(request, 0), 24u);
  EXPECT_EQ(U32At(request, 4), 100u);
  EXPECT_EQ(ReadMenuId(view), -1);
  WriteMenuStartItemId(view, 0x0A0B0C0D);
  EXPECT_EQ(request[20], 0x0D);
  EXPECT_EQ(request[23], 0x0A);
  EXPECT_EQ(ReadMenuStartItemId(view), 0x0A0B0C0D);
  EXPECT_EQ(ReadMenuId(view), -1);
}

TEST(ActionLayout, RequestCarriesTheKeyAfterTheFixedPart) {
  const auto request = BuildActionRequest(5, -6, "a\"b");
  ASSERT_EQ(request.size(), 35u);
  EXPECT_EQ(U32At(request, 0), 35u);
  EXPECT_EQ(U32At(request, 4), 102u);
  const tConstByteView view(request.data(), 35);
  ASSERT_TRUE(ActionKeyFits(view));
  const auto action = ReadActionRequest(view);
  EXPECT_EQ(action.SessionId, 5);
  EXPECT_EQ(action.ItemId, -6);
  EXPECT_EQ(action.ItemKey, "a\"b");
}

TEST(ActionLayout, KeyMustLieWhollyInsideTheBuffer) {
  auto request = BuildActionRequest(1, 2, "key");  // 35 bytes, key at 32
  const tConstByteView view(request.data(), static_cast<uint32_t>(request.size()));

  PutU32(request, ActionLayout::ItemKeyOffset, 32);
  PutU32(request, ActionLayout::ItemKeyLength, 3);
  EXPECT_TRUE(ActionKeyFits(view)) << "key ending exactly at the end";

  PutU32(request, ActionLayout::ItemKeyLength, 4);
  EXPECT_FALSE(ActionKeyFits(view)) << "one byte past the end";
  EXPECT_THROW(ReadActionRequest(view), tLayoutError);

  // 0xFFFFFFF0 + 0x20 wraps to 0x10 in 32 bits, which would look inside.
  PutU32(request, ActionLayout::ItemKeyOffset, 0xFFFFFFF0u);
  PutU32(request, ActionLayout::ItemKeyLength, 0x20);
  EXPECT_FALSE(ActionKeyFits(view));
  EXPECT_THROW(ReadActionRequest(view), tLayoutError);

  PutU32(request, ActionLayout::ItemKeyOffset, 35);
  PutU32(request, ActionLayout::ItemKeyLength, 0xFFFFFFFFu);
  EXPECT_FALSE(ActionKeyFits(view));
}

TEST(ActionLayout, EmptyKeyIgnoresItsOffset) {
  auto request = BuildActionRequest(1, 2, "");
  PutU32(request, ActionLayout::ItemKeyOffset, 0xFFFFFFFFu);
  const tConstByteView view(request.data(), static_cast<uint32_t>(request.size()));
  EXPECT_TRUE(ActionKeyFits(view));
  EXPECT_EQ(ReadActionRequest(view).ItemKey, "");
}

TEST(MenuItemLayout, VoiceItemRoundTripsThroughEveryField) {
  const auto desc = VoiceItem();
  const auto answer = Answer(desc);
  const auto decoded = Decode(answer);
  EXPECT_EQ(DescOf(decoded), desc);
  EXPECT_EQ(decoded.MenuItemId, 42);
  EXPECT_EQ(decoded.Size, answer.size());
  EXPECT_EQ(U32At(answer, 4), 101u) << "command comes from the copied request";

  const uint32_t params = 28 + 18 + 9;
  EXPECT_EQ(U32At(answer, ItemDescLayout::ParamsOffset), 60u);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ParamsSize), params);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ItemNameOffset), 60 + params);
  EXPECT_EQ(U32At(answer, 60 + VoiceBlockLayout::Timeout), 5000u) << "time-out at 12";
  EXPECT_EQ(U32At(answer, 60 + VoiceBlockLayout::RepeatCount), 2u) << "repeat count at 16";
  EXPECT_EQ(U32At(answer, 60 + VoiceBlockLayout::MacroNameOffset), 28u + 18);
  ASSERT_EQ(decoded.Rows.size(), 2u);
  EXPECT_EQ(decoded.Rows[0].RowSize, 24u + 1 + 8);
  EXPECT_EQ(decoded.Rows[1].Offset, decoded.ConnectionsOffset + decoded.Rows[0].RowSize);
  EXPECT_EQ(decoded.Rows[1].Offset + decoded.Rows[1].RowSize, answer.size());
  EXPECT_EQ(decoded.ItemName.Bytes, Welcome) << "Windows-1251 bytes pass unchanged";
}

TEST(MenuItemLayout, EmptyConditionBlockIs24BytesEndingInZeros) {
  tMenuItemDesc desc;
  desc.ServiceId = MenuService_Condition;
  const auto answer = Answer(desc);
  ASSERT_EQ(answer.size(), 84u);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ParamsSize), 24u);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ItemNameOffset), 84u);
  for (size_t at = 60 + 16; at < 84; ++at) EXPECT_EQ(answer[at], 0) << "byte " << at;
  EXPECT_EQ(DescOf(Decode(answer)), desc);
}

TEST(MenuItemLayout, ConditionItemRoundTrips) {
  tMenuItemDesc desc;
  desc.ServiceId = MenuService_Condition;
  desc.ItemName = "check";
  desc.Condition = {"TimeCondition", "08:00-20:00"};
  desc.Connections = {{"yes", 3, "open"}};
  const auto answer = Answer(desc);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ParamsSize), 24u + 13 + 11);
  EXPECT_EQ(U32At(answer, 60 + ConditionBlockLayout::DataOffset), 16u + 13);
  for (size_t at = 60 + 16 + 13 + 11; at < 60 + 24 + 13 + 11; ++at) EXPECT_EQ(answer[at], 0);
  EXPECT_EQ(DescOf(Decode(answer)), desc);
}

TEST(MenuItemLayout, OtherServiceHasNoBlockAndNoRowsEndAtSize) {
  tMenuItemDesc desc;
  desc.ServiceId = 3;
  desc.ItemName = "plain";
  const auto answer = Answer(desc);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ParamsSize), 0u);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ItemNameOffset), 60u);
  EXPECT_EQ(U32At(answer, ItemDescLayout::MenuConnectionId), 0xFFFFFFFFu);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ConnectionsCount), 0u);
  EXPECT_EQ(U32At(answer, ItemDescLayout::ConnectionsOffset), answer.size());
  const auto decoded = Decode(answer);
  EXPECT_FALSE(decoded.Voice);
  EXPECT_FALSE(decoded.Condition);
  EXPECT_EQ(DescOf(decoded), desc);
}

TEST(MenuItemLayout, WriterNeedsTheExactLength) {
  const auto desc = VoiceItem();
  std::vector<uint8_t> block(MenuItemAnswerLength(desc) + 1);
  tByteView view(block.data(), static_cast<uint32_t>(block.size()));
  EXPECT_THROW(WriteMenuItemAnswer(view, desc), tLayoutError);
}

TEST(MenuItemLayout, AnswerLengthCountsEveryPart) {
  EXPECT_EQ(MenuItemAnswerLength(VoiceItem()),
            60u + (28 + 18 + 9) + 16 + 12 + (24 + 1 + 8) + (24 + 1));
  tMenuItemDesc none;
  EXPECT_EQ(MenuItemAnswerLength(none), 60u);
}

TEST(MenuItemLayout, DecoderRefusesInconsistentAnswers) {
  const auto good = Answer(VoiceItem());
  const auto rowsAt = U32At(good, ItemDescLayout::ConnectionsOffset);
  const auto namesAt = U32At(good, ItemDescLayout::ItemNameOffset);
  struct tDamage {
    const char* What;
    uint32_t Offset;
    uint32_t Value;
  };
  const tDamage damages[] = {
      {"size larger than the buffer", 0, static_cast<uint32_t>(good.size() + 1)},
      {"params_offset not 60", ItemDescLayout::ParamsOffset, 64},
      {"params_size past the end", ItemDescLayout::ParamsSize, 0xFFFFFFF0u},
      {"item name past the end", ItemDescLayout::ItemNameLength, 0x7FFFFFFF},
      {"item name offset off the chain", ItemDescLayout::ItemNameOffset, namesAt + 1},
      {"one row too many", ItemDescLayout::ConnectionsCount, 3},
      {"one row too few", ItemDescLayout::ConnectionsCount, 1},
      {"endless rows", ItemDescLayout::ConnectionsCount, 0xFFFFFFFFu},
      {"row_size past the end", rowsAt + ConnectionRowLayout::RowSize, 0xFFFFFFF0u},
      {"key length against row_size", rowsAt + ConnectionRowLayout::KeyLength, 2},
      {"synthesis list longer than the block", 60 + VoiceBlockLayout::SynthezListLength, 19},
  };
  for (const auto& damage : damages) {
    auto answer = good;
    PutU32(answer, damage.Offset, damage.Value);
    EXPECT_THROW(Decode(answer), tAnswerError) << damage.What;
  }
  auto shortAnswer = BuildMenuItemRequest(1, 59);
  EXPECT_THROW(Decode(shortAnswer), tAnswerError);
}
