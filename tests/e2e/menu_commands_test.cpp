// Commands 100, 101 and 102 as a host sees them: the built plugin loaded with
// dlopen, answering from a fresh menu database on the local server.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "support/TestDatabase.h"
#include "tPluginHost.h"

using namespace std::chrono_literals;

namespace {
constexpr auto Patience = 30s;
constexpr uint32_t Untouched = 0x5A5A5A5Au;

// "Приветствие", "Главное меню", "Здравствуйте!" and the other texts are Windows-1251 bytes.
const std::string Greeting = "\xcf\xf0\xe8\xe2\xe5\xf2\xf1\xf2\xe2\xe8\xe5";
const std::string MainMenu = "\xc3\xeb\xe0\xe2\xed\xee\xe5 \xec\xe5\xed\xfe";
const std::string Hello = "\xc7\xe4\xf0\xe0\xe2\xf1\xf2\xe2\xf3\xe9\xf2\xe5!";
const std::string Balance = "\xc1\xe0\xeb\xe0\xed\xf1";
const std::string Operator = "\xce\xef\xe5\xf0\xe0\xf2\xee\xf0";

// Every Cyrillic letter of the code page, with Ё, ё and №.
std::string CyrillicAlphabet() {
  std::string letters = "\xa8\xb8\xb9";
  for (int c = 0xC0; c <= 0xFF; ++c) letters += static_cast<char>(c);
  return letters;
}

// A Windows-1251 SQL string literal, or NULL.
std::string Sql(const std::optional<std::string>& text) {
  if (!text) return "NULL";
  std::string literal = "'";
  for (char c : *text) literal += c == '\'' ? std::string("''") : std::string(1, c);
  return literal + "'";
}

std::string Sql(std::optional<int> number) {
  return number ? std::to_string(*number) : "NULL";
}

std::vector<uint8_t> ItemRequest(int32_t itemId, uint32_t length = 60) {
  auto request = MakeCommand(length, 101);
  PutWord(request, 16, static_cast<uint32_t>(itemId));
  return request;
}

std::vector<uint8_t> StartRequest(int32_t menuId) {
  auto request = MakeCommand(24, 100);
  PutWord(request, 16, static_cast<uint32_t>(menuId));
  PutWord(request, 20, Untouched);
  return request;
}

// The part of a step line after its elapsed field: 8 characters, a number right-aligned.
std::string AfterElapsed(const std::string& line) {
  if (line.size() < 9) return {};
  const std::string field = line.substr(0, 8);
  const size_t digits = field.find_first_not_of(' ');
  if (digits == std::string::npos ||
      field.find_first_not_of("0123456789", digits) != std::string::npos)
    return {};
  return line.substr(8);
}

struct Envelope {
  uint32_t Size;
  int32_t Outcome;
  int32_t ResultCode;
};

Envelope EnvelopeOf(const tAnswer& answer) {
  return {WordAt(answer.Buffer, 0), SignedWordAt(answer.Buffer, 8),
          SignedWordAt(answer.Buffer, 12)};
}

class MenuCommandsTest : public ::testing::Test {
 protected:
  void StartPlugin() {
    Plugin.WriteIni("[Main]\nDBName = " + Db.ConnectionString() +
                    "\nDBUser = " + TestDatabase::User() + "\nDBPWD = " + TestDatabase::Password() +
                    "\nlc_ctype = WIN1251\nLogLevel = 1\n");
    Log.emplace(HostLogsFolder());
    Host = std::make_unique<tPluginHost>(Plugin.LibraryPath());
    Host->Init();
  }

  void TearDown() override {
    if (Host) Host->Finalize();
  }

  tAnswer Ask(const std::vector<uint8_t>& request) {
    EXPECT_EQ(Host->Command(SignedWordAt(request, 4), request), 0);
    auto answer = Host->WaitAnswer(Patience);
    if (!answer) {
      ADD_FAILURE() << "no answer to command " << SignedWordAt(request, 4);
      return {};
    }
    EXPECT_EQ(static_cast<uint32_t>(answer->Size), WordAt(answer->Buffer, 0));
    EXPECT_EQ(answer->Buffer.size(), WordAt(answer->Buffer, 0));
    return *answer;
  }

  void AddItem(int id, std::optional<int> service, std::optional<std::string> name,
               std::optional<int> connection, int seq = 0) {
    Db.Execute(
        "INSERT INTO MENU_ITEMS (MENU_ITEM_ID, SEQ, MENU_SERVICE_ID, MENU_ITEM_NAME, "
        "MENU_CONNECTION_ID) VALUES (" +
        std::to_string(id) + ", " + std::to_string(seq) + ", " + Sql(service) + ", " + Sql(name) +
        ", " + Sql(connection) + ");");
  }

  void AddVoice(int id, std::optional<std::string> list, std::optional<std::string> macro,
                std::optional<int> place, std::optional<int> repeat, std::optional<int> timeout,
                int seq = 0) {
    Db.Execute(
        "INSERT INTO MENU_VOICE_PARAMS (MENU_ITEM_ID, SEQ, ITEM_SYNTHEZ_LIST, ITEM_MACRO_NAME, "
        "ITEM_SYNTHEZ_PLACE, ITEM_REPEAT_COUNT, ITEM_TIMEOUT) VALUES (" +
        std::to_string(id) + ", " + std::to_string(seq) + ", " + Sql(list) + ", " + Sql(macro) +
        ", " + Sql(place) + ", " + Sql(repeat) + ", " + Sql(timeout) + ");");
  }

  void AddCondition(int id, std::optional<std::string> processor, std::optional<std::string> data) {
    Db.Execute(
        "INSERT INTO MENU_COND_PARAMS (MENU_ITEM_ID, CONDITION_PROCESSOR_NAME, CONDITION_DATA) "
        "VALUES (" +
        std::to_string(id) + ", " + Sql(processor) + ", " + Sql(data) + ");");
  }

  void AddConnection(int id, std::optional<std::string> name) {
    Db.Execute("INSERT INTO MENU_CONNECTIONS (CONNECTION_ID, CONNECTION_NAME) VALUES (" +
               std::to_string(id) + ", " + Sql(name) + ");");
  }

  void AddRow(int connection, int order, std::optional<std::string> key, std::optional<int> item,
              std::optional<std::string> way) {
    Db.Execute(
        "INSERT INTO MENU_CONNECTION_ROWS (CONNECTION_ID, ROW_ORDER, CONNECTION_KEY, "
        "CONNECTION_ITEM_ID, CONNECTION_WAY_DESC) VALUES (" +
        std::to_string(connection) + ", " + std::to_string(order) + ", " + Sql(key) + ", " +
        Sql(item) + ", " + Sql(way) + ");");
  }

  void AddMenu(int id, std::optional<int> startItem, int seq = 0) {
    Db.Execute("INSERT INTO MENUS (MENU_ID, SEQ, ITEM_START_ID) VALUES (" + std::to_string(id) +
               ", " + std::to_string(seq) + ", " + Sql(startItem) + ");");
  }

  size_t LinesContaining(const std::string& part) const {
    size_t count = 0;
    for (const auto& line : Log->MainMessages())
      if (line.find(part) != std::string::npos) ++count;
    return count;
  }

  // For texts that may sit on a continuation line of a multi-line message.
  size_t TimesLogged(const std::string& part) const {
    const std::string text = Log->MainText();
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++count;
    return count;
  }

  // Index of the first logged line that contains part, or -1.
  int LineIndex(const std::string& part) const {
    const auto lines = Log->MainMessages();
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].find(part) != std::string::npos) return static_cast<int>(i);
    return -1;
  }

  TestDatabase Db;
  PluginCopy Plugin;
  std::optional<LogTail> Log;
  std::unique_ptr<tPluginHost> Host;
};

using ItemDescriptionTest = MenuCommandsTest;

TEST_F(ItemDescriptionTest, VoiceItemWithTwoRowsFillsEveryFieldAndLogsEachStepInOrder) {
  const std::string list = Hello + " Press 1.";
  const std::string way1 = Balance;
  const std::string way2 = Operator;
  AddItem(10, 1, CyrillicAlphabet(), 100);
  AddConnection(100, MainMenu);
  AddVoice(10, list, "GREETING", 2, 3, 5000);
  // Inserted backwards: the rows come in the procedure's order, not the insert order.
  AddRow(100, 2, "0", 40, way2);
  AddRow(100, 1, "1", 20, way1);
  StartPlugin();

  const auto answer = Ask(ItemRequest(10));
  const auto& b = answer.Buffer;
  const Envelope envelope = EnvelopeOf(answer);
  EXPECT_EQ(envelope.Outcome, 0);
  EXPECT_EQ(envelope.ResultCode, 0);
  const uint32_t paramsSize = 28 + list.size() + 8;
  const uint32_t nameOffset = 60 + paramsSize;
  const uint32_t connectionNameOffset = nameOffset + CyrillicAlphabet().size();
  const uint32_t rowsOffset = connectionNameOffset + MainMenu.size();
  const uint32_t row1Size = 24 + 1 + way1.size();
  const uint32_t row2Size = 24 + 1 + way2.size();
  ASSERT_EQ(envelope.Size, rowsOffset + row1Size + row2Size);
  EXPECT_EQ(SignedWordAt(b, 4), 101);
  EXPECT_EQ(SignedWordAt(b, 16), 10);
  EXPECT_EQ(SignedWordAt(b, 20), 1);
  EXPECT_EQ(WordAt(b, 24), 60u);
  EXPECT_EQ(WordAt(b, 28), paramsSize);
  EXPECT_EQ(WordAt(b, 32), nameOffset);
  EXPECT_EQ(TextAt(b, 0, 32), CyrillicAlphabet());
  EXPECT_EQ(SignedWordAt(b, 40), 100);
  EXPECT_EQ(WordAt(b, 44), connectionNameOffset);
  EXPECT_EQ(TextAt(b, 0, 44), MainMenu);
  EXPECT_EQ(WordAt(b, 52), rowsOffset);
  EXPECT_EQ(WordAt(b, 56), 2u);
  // Voice block: the time-out lies before the repeat count.
  EXPECT_EQ(WordAt(b, 60), 28u);
  EXPECT_EQ(TextAt(b, 60, 0), list);
  EXPECT_EQ(SignedWordAt(b, 68), 2);
  EXPECT_EQ(SignedWordAt(b, 72), 5000);
  EXPECT_EQ(SignedWordAt(b, 76), 3);
  EXPECT_EQ(WordAt(b, 80), 28 + list.size());
  EXPECT_EQ(TextAt(b, 60, 20), "GREETING");
  const uint32_t row2 = rowsOffset + row1Size;
  EXPECT_EQ(WordAt(b, rowsOffset), row1Size);
  EXPECT_EQ(WordAt(b, rowsOffset + 4), 24u);
  EXPECT_EQ(TextAt(b, rowsOffset, 4), "1");
  EXPECT_EQ(SignedWordAt(b, rowsOffset + 12), 20);
  EXPECT_EQ(WordAt(b, rowsOffset + 16), 25u);
  EXPECT_EQ(TextAt(b, rowsOffset, 16), way1);
  EXPECT_EQ(WordAt(b, row2), row2Size);
  EXPECT_EQ(TextAt(b, row2, 4), "0");
  EXPECT_EQ(SignedWordAt(b, row2 + 12), 40);
  EXPECT_EQ(TextAt(b, row2, 16), way2);

  const auto lines = Log->MainMessages();
  const int first = LineIndex("GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=10]");
  ASSERT_GE(first, 0);
  ASSERT_GE(lines.size(), static_cast<size_t>(first) + 6);
  EXPECT_EQ(AfterElapsed(lines[first]),
            " GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=10] OUT[menu_service_id=1, "
            "menu_connection_id=100, menu_item_name=\"" +
                CyrillicAlphabet() + "\", menu_connection_name=\"" + MainMenu + "\"]- SUCCESS");
  EXPECT_EQ(AfterElapsed(lines[first + 1]),
            " GetVoiceMenuItemParams(MENU_GET_VOICE_ITEM_PARAMS) IN[menu_item_id=10] "
            "OUT[voice_synthez_list=\"" +
                list +
                "\", voice_synthez_place=2, voice_repeat_count=3, voice_timeout=5000, "
                "voice_macro_name=\"GREETING\"]- SUCCESS");
  EXPECT_EQ(AfterElapsed(lines[first + 2]),
            " GetMenuItemDesc(MENU_GET_CONNECTION) IN[item_connection_id=100] OUT[TABLE]- SUCCESS");
  EXPECT_EQ(lines[first + 3], "TABLE => [2]");
  EXPECT_EQ(lines[first + 4],
            "connection_key=\"1\", connection_item_id=20, connection_way_desc=\"" + way1 + "\"");
  EXPECT_EQ(lines[first + 5],
            "connection_key=\"0\", connection_item_id=40, connection_way_desc=\"" + way2 + "\"");
}

TEST_F(ItemDescriptionTest, NullValuesGiveTheStartingValuesAndEmptyTexts) {
  AddItem(11, 1, std::nullopt, std::nullopt);
  AddVoice(11, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt);
  AddItem(12, 1, "x", 120);
  AddConnection(120, std::nullopt);
  AddVoice(12, "y", "z", 4, 0, 0);
  AddRow(120, 1, std::nullopt, std::nullopt, std::nullopt);
  StartPlugin();

  const auto nulls = Ask(ItemRequest(11));
  const auto& b = nulls.Buffer;
  EXPECT_EQ(EnvelopeOf(nulls).ResultCode, 0);
  ASSERT_EQ(EnvelopeOf(nulls).Size, 60u + 28u);
  EXPECT_EQ(WordAt(b, 28), 28u);
  EXPECT_EQ(WordAt(b, 32), 88u);
  EXPECT_EQ(WordAt(b, 36), 0u);
  EXPECT_EQ(SignedWordAt(b, 40), -1);
  EXPECT_EQ(WordAt(b, 44), 88u);
  EXPECT_EQ(WordAt(b, 48), 0u);
  EXPECT_EQ(WordAt(b, 52), 88u);
  EXPECT_EQ(WordAt(b, 56), 0u);
  EXPECT_EQ(WordAt(b, 64), 0u);
  EXPECT_EQ(SignedWordAt(b, 68), 0);
  EXPECT_EQ(SignedWordAt(b, 72), -1);
  EXPECT_EQ(SignedWordAt(b, 76), 1);
  EXPECT_EQ(WordAt(b, 80), 28u);
  EXPECT_EQ(WordAt(b, 84), 0u);
  EXPECT_EQ(LinesContaining("MENU_GET_CONNECTION"), 0u);

  // Zeros from the database are values, not NULLs; a NULL connection name and row texts are empty.
  const auto zeros = Ask(ItemRequest(12));
  const auto& z = zeros.Buffer;
  EXPECT_EQ(EnvelopeOf(zeros).ResultCode, 0);
  EXPECT_EQ(SignedWordAt(z, 72), 0);
  EXPECT_EQ(SignedWordAt(z, 76), 0);
  EXPECT_EQ(WordAt(z, 48), 0u);
  const uint32_t row = WordAt(z, 52);
  EXPECT_EQ(WordAt(z, 56), 1u);
  EXPECT_EQ(WordAt(z, row), 24u);
  EXPECT_EQ(WordAt(z, row + 8), 0u);
  EXPECT_EQ(SignedWordAt(z, row + 12), 0);
  EXPECT_EQ(WordAt(z, row + 16), 24u);
  EXPECT_EQ(WordAt(z, row + 20), 0u);
  EXPECT_EQ(row + 24, EnvelopeOf(zeros).Size);
}

TEST_F(ItemDescriptionTest, ConditionItemsAndItemsWithoutParameters) {
  AddItem(30, 2, "cond", 300);
  AddConnection(300, "hours");
  AddCondition(30, "WORK_TIME", "\xcf\xed-\xcf\xf2 09:00-18:00");
  AddItem(31, 2, std::nullopt, std::nullopt);
  AddCondition(31, std::nullopt, std::nullopt);
  AddItem(32, 3, Greeting, 320);
  AddConnection(320, std::nullopt);
  StartPlugin();

  const auto full = Ask(ItemRequest(30));
  const auto& c = full.Buffer;
  const std::string data = "\xcf\xed-\xcf\xf2 09:00-18:00";
  EXPECT_EQ(EnvelopeOf(full).ResultCode, 0);
  EXPECT_EQ(SignedWordAt(c, 20), 2);
  const uint32_t blockSize = 24 + 9 + data.size();
  EXPECT_EQ(WordAt(c, 28), blockSize);
  EXPECT_EQ(WordAt(c, 60), 16u);
  EXPECT_EQ(TextAt(c, 60, 0), "WORK_TIME");
  EXPECT_EQ(WordAt(c, 68), 16u + 9u);
  EXPECT_EQ(TextAt(c, 60, 8), data);
  EXPECT_EQ(std::vector<uint8_t>(c.begin() + 60 + blockSize - 8, c.begin() + 60 + blockSize),
            std::vector<uint8_t>(8, 0));
  EXPECT_EQ(WordAt(c, 32), 60 + blockSize);
  EXPECT_EQ(TextAt(c, 0, 32), "cond");
  EXPECT_EQ(TextAt(c, 0, 44), "hours");
  EXPECT_EQ(LinesContaining("TABLE => EMPTY"), 1u);
  EXPECT_GE(LineIndex("GetConditionMenuItemParams(MENU_GET_COND_ITEM_PARAMS) IN[menu_item_id=30] "
                      "OUT[cond_plugin=\"WORK_TIME\", cond_data=\"" +
                      data + "\"]- SUCCESS"),
            0);

  const auto empty = Ask(ItemRequest(31));
  const auto& e = empty.Buffer;
  EXPECT_EQ(EnvelopeOf(empty).ResultCode, 0);
  ASSERT_EQ(EnvelopeOf(empty).Size, 84u);
  EXPECT_EQ(WordAt(e, 28), 24u);
  EXPECT_EQ(WordAt(e, 32), 84u);
  EXPECT_EQ(WordAt(e, 60), 16u);
  EXPECT_EQ(WordAt(e, 64), 0u);
  EXPECT_EQ(WordAt(e, 68), 16u);
  EXPECT_EQ(WordAt(e, 72), 0u);
  EXPECT_EQ(std::vector<uint8_t>(e.begin() + 76, e.end()), std::vector<uint8_t>(8, 0));

  // Neither voice nor condition: no parameter step, the name right after the fixed part;
  // a connection without rows is still a success.
  const auto other = Ask(ItemRequest(32));
  const auto& o = other.Buffer;
  EXPECT_EQ(EnvelopeOf(other).Outcome, 0);
  EXPECT_EQ(EnvelopeOf(other).ResultCode, 0);
  EXPECT_EQ(SignedWordAt(o, 20), 3);
  EXPECT_EQ(WordAt(o, 28), 0u);
  EXPECT_EQ(WordAt(o, 32), 60u);
  EXPECT_EQ(TextAt(o, 0, 32), Greeting);
  EXPECT_EQ(SignedWordAt(o, 40), 320);
  EXPECT_EQ(WordAt(o, 56), 0u);
  EXPECT_EQ(WordAt(o, 52), EnvelopeOf(other).Size);
  EXPECT_EQ(LinesContaining("TABLE => EMPTY"), 2u);
  EXPECT_EQ(LinesContaining("IN[menu_item_id=32]"), 1u);
}

TEST_F(ItemDescriptionTest, MissingItemsAndParametersLeaveTheRequestAsItCame) {
  AddItem(13, 1, "no voice row", 130);
  AddConnection(130, "c");
  AddRow(130, 1, "1", 10, "w");
  AddItem(14, 2, "no condition row", std::nullopt);
  AddItem(15, std::nullopt, "service id NULL", std::nullopt);
  StartPlugin();

  for (int32_t id : {99, 13, 14, 15}) {
    auto request = ItemRequest(id, 100);
    for (uint32_t i = 20; i < 100; ++i) request[i] = static_cast<uint8_t>(i * 7);
    const auto answer = Ask(request);
    EXPECT_EQ(EnvelopeOf(answer).Size, 100u) << id;
    EXPECT_EQ(EnvelopeOf(answer).Outcome, 1) << id;
    EXPECT_EQ(EnvelopeOf(answer).ResultCode, 2) << id;
    EXPECT_EQ(std::vector<uint8_t>(answer.Buffer.begin() + 16, answer.Buffer.end()),
              std::vector<uint8_t>(request.begin() + 16, request.end()))
        << id;
  }
  EXPECT_EQ(LinesContaining(" GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=99] OUT[]- NOT FOUND"),
            1u);
  EXPECT_EQ(LinesContaining(" GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=15] OUT[]- NOT FOUND"),
            1u);
  EXPECT_EQ(
      LinesContaining(" GetVoiceMenuItemParams(MENU_GET_VOICE_ITEM_PARAMS) IN[menu_item_id=13] "
                      "OUT[]- NOT FOUND"),
      1u);
  EXPECT_EQ(LinesContaining(" GetConditionMenuItemParams(MENU_GET_COND_ITEM_PARAMS) "
                            "IN[menu_item_id=14] OUT[]- NOT FOUND"),
            1u);
  // The voice item has a connection, yet no connection step ran.
  EXPECT_EQ(LinesContaining("MENU_GET_CONNECTION"), 0u);
}

TEST_F(ItemDescriptionTest, FirstRowWinsLongRequestsShrinkAndNegativeIdsReachTheProcedures) {
  AddItem(20, 1, "first", std::nullopt, 0);
  AddItem(20, 3, "second", 7, 1);
  AddVoice(20, "A", "M1", 1, 1, 1, 0);
  AddVoice(20, "BB", "M2", 2, 2, 2, 1);
  AddItem(-5, 3, "negative", -7);
  AddConnection(-7, "minus seven");
  AddRow(-7, 1, "#", -9, "back");
  StartPlugin();

  const auto answer = Ask(ItemRequest(20, 4096));
  const auto& b = answer.Buffer;
  EXPECT_EQ(EnvelopeOf(answer).ResultCode, 0);
  EXPECT_EQ(EnvelopeOf(answer).Size, 60u + 28u + 1u + 2u + 5u);
  EXPECT_EQ(answer.Size, 96);
  EXPECT_EQ(SignedWordAt(b, 20), 1);
  EXPECT_EQ(TextAt(b, 0, 32), "first");
  EXPECT_EQ(SignedWordAt(b, 40), -1);
  EXPECT_EQ(TextAt(b, 60, 0), "A");
  EXPECT_EQ(TextAt(b, 60, 20), "M1");
  EXPECT_EQ(SignedWordAt(b, 68), 1);

  const auto negative = Ask(ItemRequest(-5));
  const auto& n = negative.Buffer;
  EXPECT_EQ(EnvelopeOf(negative).ResultCode, 0);
  EXPECT_EQ(TextAt(n, 0, 32), "negative");
  EXPECT_EQ(SignedWordAt(n, 40), -7);
  EXPECT_EQ(WordAt(n, 56), 1u);
  EXPECT_EQ(SignedWordAt(n, WordAt(n, 52) + 12), -9);
  EXPECT_EQ(
      LinesContaining("GetMenuItemDesc(MENU_GET_ITEM) IN[menu_item_id=-5] OUT[menu_service_id=3, "
                      "menu_connection_id=-7,"),
      1u);
  EXPECT_EQ(
      LinesContaining("GetMenuItemDesc(MENU_GET_CONNECTION) IN[item_connection_id=-7] OUT[TABLE]- "
                      "SUCCESS"),
      1u);
}

using StartItemTest = MenuCommandsTest;

TEST_F(StartItemTest, WritesTheStartItemOnlyWhenTheMenuHasOne) {
  AddMenu(1, 10);
  AddMenu(2, std::nullopt);
  AddMenu(4, 41, 0);
  AddMenu(4, 42, 1);
  AddMenu(-1, -77);
  StartPlugin();

  struct Case {
    int32_t Menu;
    int32_t Outcome;
    int32_t ResultCode;
    uint32_t StartItem;
  };
  const Case cases[] = {{1, 0, 0, 10u},
                        {2, 1, 2, Untouched},
                        {3, 1, 2, Untouched},
                        {4, 0, 0, 41u},
                        {-1, 0, 0, static_cast<uint32_t>(-77)}};
  for (const Case& c : cases) {
    const auto answer = Ask(StartRequest(c.Menu));
    EXPECT_EQ(EnvelopeOf(answer).Size, 24u) << c.Menu;
    EXPECT_EQ(EnvelopeOf(answer).Outcome, c.Outcome) << c.Menu;
    EXPECT_EQ(EnvelopeOf(answer).ResultCode, c.ResultCode) << c.Menu;
    EXPECT_EQ(SignedWordAt(answer.Buffer, 16), c.Menu);
    EXPECT_EQ(WordAt(answer.Buffer, 20), c.StartItem) << c.Menu;
  }
  const auto lines = Log->MainMessages();
  const int found = LineIndex("GetStartMenuItem(MENU_GET_START_ITEM) IN[menu_id=1]");
  ASSERT_GE(found, 0);
  EXPECT_EQ(
      AfterElapsed(lines[found]),
      " GetStartMenuItem(MENU_GET_START_ITEM) IN[menu_id=1] OUT[menu_start_itemid=10]- SUCCESS");
  const int missing = LineIndex("GetStartMenuItem(MENU_GET_START_ITEM) IN[menu_id=3]");
  ASSERT_GE(missing, 0);
  EXPECT_EQ(AfterElapsed(lines[missing]),
            " GetStartMenuItem(MENU_GET_START_ITEM) IN[menu_id=3] OUT[]- FAIL [Menu not found]");
  EXPECT_EQ(LinesContaining("IN[menu_id=-1] OUT[menu_start_itemid=-77]- SUCCESS"), 1u);
}

using ActionTest = MenuCommandsTest;

TEST_F(ActionTest, RecordsTheKeyByteForByteWhateverItHolds) {
  AddItem(10, 3, "item", std::nullopt);
  StartPlugin();
  const std::string hostile = "a\"); delete from MENU_ITEMS; --";
  const std::string quotes = "\"\"" + Greeting + "\"";
  // Each key and how the log shows it: a double quote escaped, so the
  // quoted value ends where the key does.
  const std::pair<std::string, std::string> keys[] = {
      {"", ""},
      {"1", "1"},
      {hostile, "a\\\"); delete from MENU_ITEMS; --"},
      {quotes, "\\\"\\\"" + Greeting + "\\\""}};
  int32_t session = -3;
  for (const auto& [key, logged] : keys) {
    const auto request = ActionRequest(session, -4, key);
    const auto answer = Ask(request);
    EXPECT_EQ(EnvelopeOf(answer).Outcome, 0) << key;
    EXPECT_EQ(EnvelopeOf(answer).ResultCode, 0) << key;
    EXPECT_EQ(std::vector<uint8_t>(answer.Buffer.begin() + 16, answer.Buffer.end()),
              std::vector<uint8_t>(request.begin() + 16, request.end()));
    EXPECT_EQ(
        Db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS WHERE SESSION_ID = " +
                      std::to_string(session) + " AND ITEM_ID = -4 AND ITEM_KEY = " + Sql(key) +
                      " AND OCTET_LENGTH(ITEM_KEY) = " + std::to_string(key.size()) + ";"),
        "1")
        << key;
    EXPECT_EQ(LinesContaining(
                  " PostMenuAction(MENU_PROT_ACTIONS) IN[session_id=" + std::to_string(session) +
                  ", item_id=-4, item_key=\"" + logged + "\"] OUT[]- SUCCESS"),
              1u)
        << key;
    --session;
  }
  EXPECT_EQ(Db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS;"), "4");
  EXPECT_EQ(Db.QueryValue("SELECT COUNT(*) FROM MENU_ITEMS;"), "1");
}

TEST_F(ActionTest, RefusesKeysOutsideTheBufferWithoutRunningAStatement) {
  StartPlugin();
  struct Case {
    uint32_t Offset;
    uint32_t Length;
  };
  // Past the end, ending one byte past it, and an offset that wraps around in 32 bits.
  const Case cases[] = {{40, 1}, {33, 4}, {0xFFFFFFF0u, 0x20u}};
  for (const Case& c : cases) {
    auto request = ActionRequest(1, 2, "abcd");
    PutWord(request, 24, c.Offset);
    PutWord(request, 28, c.Length);
    const auto answer = Ask(request);
    EXPECT_EQ(EnvelopeOf(answer).Outcome, 1) << c.Offset;
    EXPECT_EQ(EnvelopeOf(answer).ResultCode, 2) << c.Offset;
  }
  // An empty key is never read, wherever its offset points.
  auto empty = ActionRequest(1, 2, "");
  PutWord(empty, 24, 0xFFFFFFFFu);
  EXPECT_EQ(EnvelopeOf(Ask(empty)).ResultCode, 0);
  EXPECT_EQ(Db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS;"), "1");
}

using DispatchTest = MenuCommandsTest;

TEST_F(DispatchTest, MinimumSizesAndUnknownCommands) {
  AddMenu(1, 10);
  AddItem(10, 3, "item", std::nullopt);
  StartPlugin();

  struct Case {
    int32_t Command;
    uint32_t Size;
    int32_t ResultCode;
  };
  const Case cases[] = {{100, 23, 2}, {100, 24, 0}, {101, 59, 2},
                        {101, 60, 0}, {102, 31, 2}, {102, 32, 0}};
  for (const Case& c : cases) {
    auto request = MakeCommand(c.Size, c.Command);
    if (c.Size > 16) PutWord(request, 16, c.Command == 102 ? 1 : (c.Command == 100 ? 1 : 10));
    const auto answer = Ask(request);
    EXPECT_EQ(EnvelopeOf(answer).Outcome, c.ResultCode == 0 ? 0 : 1) << c.Command << "/" << c.Size;
    EXPECT_EQ(EnvelopeOf(answer).ResultCode, c.ResultCode) << c.Command << "/" << c.Size;
  }

  for (const int32_t command : {7, 103}) {
    for (const uint32_t size : {16u, 40u}) {
      auto request = MakeCommand(size, command);
      for (uint32_t i = 16; i < size; ++i) request[i] = static_cast<uint8_t>(i);
      const auto answer = Ask(request);
      EXPECT_EQ(EnvelopeOf(answer).Outcome, 1);
      EXPECT_EQ(EnvelopeOf(answer).ResultCode, 3);
      EXPECT_EQ(std::vector<uint8_t>(answer.Buffer.begin(), answer.Buffer.begin() + 8),
                std::vector<uint8_t>(request.begin(), request.begin() + 8));
      EXPECT_EQ(std::vector<uint8_t>(answer.Buffer.begin() + 16, answer.Buffer.end()),
                std::vector<uint8_t>(request.begin() + 16, request.end()));
    }
  }
}

// Procedures that fail on purpose: an item whose connection id is not a number
// (the item step fails while reading, after its query ran), voice parameters
// that raise an exception, and statements refused for negative numbers.
class MenuFailureTest : public MenuCommandsTest {
 protected:
  void SetUp() override {
    Db.Execute(R"(CREATE EXCEPTION VOICE_BROKEN 'voice parameters broken';
CREATE EXCEPTION NUMBER_REFUSED 'negative number refused';
SET TERM ^ ;
ALTER PROCEDURE MENU_GET_ITEM (MENU_ITEM_ID INTEGER)
RETURNS (MENU_SERVICE_ID INTEGER, MENU_CONNECTION_ID VARCHAR(20),
         MENU_ITEM_NAME VARCHAR(1000), MENU_CONNECTION_NAME VARCHAR(1000))
AS
BEGIN
  MENU_SERVICE_ID = 1;
  MENU_CONNECTION_ID = NULL;
  MENU_ITEM_NAME = 'item';
  MENU_CONNECTION_NAME = NULL;
  IF (MENU_ITEM_ID = 666) THEN MENU_CONNECTION_ID = 'not a number';
  IF (MENU_ITEM_ID = 13) THEN MENU_CONNECTION_ID = '130';
  SUSPEND;
END^
ALTER PROCEDURE MENU_GET_VOICE_ITEM_PARAMS (MENU_ITEM_ID INTEGER)
RETURNS (ITEM_SYNTHEZ_LIST VARCHAR(4000), ITEM_MACRO_NAME VARCHAR(1000),
         ITEM_SYNTHEZ_PLACE INTEGER, ITEM_REPEAT_COUNT INTEGER, ITEM_TIMEOUT INTEGER)
AS
BEGIN
  IF (MENU_ITEM_ID = 13) THEN EXCEPTION VOICE_BROKEN;
  ITEM_SYNTHEZ_LIST = 'list';
  SUSPEND;
END^
ALTER PROCEDURE MENU_GET_START_ITEM (MENU_ID INTEGER)
RETURNS (ITEM_START_ID INTEGER)
AS
BEGIN
  IF (MENU_ID < 0) THEN EXCEPTION NUMBER_REFUSED;
  ITEM_START_ID = 10;
  SUSPEND;
END^
ALTER PROCEDURE MENU_PROT_ACTIONS (SESSION_ID INTEGER, ITEM_ID INTEGER, ITEM_KEY VARCHAR(1000))
AS
BEGIN
  IF (SESSION_ID < 0) THEN EXCEPTION NUMBER_REFUSED;
  INSERT INTO MENU_ACTIONS (SESSION_ID, ITEM_ID, ITEM_KEY) VALUES (:SESSION_ID, :ITEM_ID, :ITEM_KEY);
END^
SET TERM ; ^)");
    StartPlugin();
  }
};

// Each failure is logged once; the item step's rows were taken before the
// column failed to read, so nothing is left for the next command to roll back.
TEST_F(MenuFailureTest, AReadErrorInTheItemStepIsLoggedOnceAndLeavesNothingOpen) {
  const auto request = ItemRequest(666);
  const auto failed = Ask(request);
  EXPECT_EQ(EnvelopeOf(failed).Outcome, 1);
  EXPECT_EQ(EnvelopeOf(failed).ResultCode, 1);
  EXPECT_EQ(std::vector<uint8_t>(failed.Buffer.begin() + 16, failed.Buffer.end()),
            std::vector<uint8_t>(request.begin() + 16, request.end()));
  EXPECT_EQ(LinesContaining("Exception while processing cmdDynMenu_GetItemDesc Msg=\""), 1u);
  EXPECT_EQ(LinesContaining("MENU_GET_ITEM) IN[menu_item_id=666] OUT["), 0u);

  const auto next = Ask(StartRequest(1));
  EXPECT_EQ(EnvelopeOf(next).ResultCode, 0);
  EXPECT_EQ(WordAt(next.Buffer, 20), 10u);
  EXPECT_EQ(EnvelopeOf(Ask(ItemRequest(1))).ResultCode, 0);
  EXPECT_EQ(LinesContaining("Transaction is active! Rollback"), 0u);
}

TEST_F(MenuFailureTest, AnErrorInTheParameterStepIsLoggedOnceAndRolledBackAtOnce) {
  const auto failed = Ask(ItemRequest(13));
  EXPECT_EQ(EnvelopeOf(failed).Outcome, 1);
  EXPECT_EQ(EnvelopeOf(failed).ResultCode, 1);
  EXPECT_EQ(WordAt(failed.Buffer, 0), 60u);
  EXPECT_EQ(LinesContaining("Exception while processing cmdDynMenu_GetItemDesc Msg=\""), 1u);
  EXPECT_EQ(TimesLogged("voice parameters broken"), 1u);
  EXPECT_EQ(LinesContaining("MENU_GET_CONNECTION"), 0u);

  EXPECT_EQ(EnvelopeOf(Ask(StartRequest(1))).ResultCode, 0);
  EXPECT_EQ(LinesContaining("Transaction is active! Rollback"), 0u);
}

TEST_F(MenuFailureTest, FailedStatementsAreLoggedWithTheirTextAndAnsweredWithResultCodeOne) {
  const auto start = Ask(StartRequest(-1));
  EXPECT_EQ(EnvelopeOf(start).Outcome, 1);
  EXPECT_EQ(EnvelopeOf(start).ResultCode, 1);
  EXPECT_EQ(WordAt(start.Buffer, 20), Untouched);
  const std::string text = Log->MainText();
  EXPECT_NE(
      text.find(
          "Error while processing onDynMenu_GetStartMenuItem Msg=\"Exception while processing IB "
          "SQL Query=\"select *\r\nfrom MENU_GET_START_ITEM(-1)\r\n\" Msg=\""),
      std::string::npos);

  const auto action = Ask(ActionRequest(-2, -3, "k\"ey"));
  EXPECT_EQ(EnvelopeOf(action).Outcome, 1);
  EXPECT_EQ(EnvelopeOf(action).ResultCode, 1);
  EXPECT_NE(
      Log->MainText().find("Error while processing onDynMenu_PostMenuAction Msg=\"Exception while "
                           "processing IB SQL Query=\"execute procedure "
                           "menu_prot_actions(-2,-3,\\\"k\\\"\\\"ey\\\")\r\n\" Msg=\""),
      std::string::npos);
  EXPECT_EQ(TimesLogged("negative number refused"), 2u);
  EXPECT_EQ(Db.QueryValue("SELECT COUNT(*) FROM MENU_ACTIONS;"), "0");
}

}  // namespace
