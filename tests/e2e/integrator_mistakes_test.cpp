// An integrator's first host, making the usual mistakes in a row: none may
// crash the host, each is answered as before, and each says in the log why.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <kalvor/menu_commands.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "support/CommandBuffers.h"
#include "support/LogTail.h"
#include "support/PluginCopy.h"
#include "tPluginHost.h"

namespace {
struct tAcceptedMistake {
  uint32_t SizeWord;
  int32_t Command;
  uint32_t Length;  // the block the host really holds, so a read past it is caught
  int32_t ResultCode;
  std::string Line;
};

// The line stands alone inside one command's frame.
bool InsideFrame(const std::vector<std::string>& lines, const std::string& line) {
  const auto at = std::find(lines.begin(), lines.end(), line);
  return at != lines.begin() && at != lines.end() && at + 1 != lines.end() &&
         *(at - 1) == "--New Operation was complete started-->" &&
         (at + 1)->rfind("<--Operation was complete [", 0) == 0;
}
}  // namespace

TEST(IntegratorMistakes, EachIsAnsweredAsBeforeAndSaysInTheLogWhy) {
  PluginCopy plugin;  // no ini: the plugin writes one with defaults
  LogTail log(HostLogsFolder());
  tPluginHost host(plugin.LibraryPath());
  void* library = dlopen(plugin.LibraryPath().c_str(), RTLD_NOW);
  reinterpret_cast<decltype(&GetName_Plugin)>(dlsym(library, "GetName_Plugin"))(nullptr);
  reinterpret_cast<decltype(&Init_Plugin)>(dlsym(library, "Init_Plugin"))(
      nullptr, &tPluginHost::CollectAnswer, reinterpret_cast<intptr_t>(&host));
  dlclose(library);

  const auto start = MakeCommand(24, KALVOR_CMD_GET_START_ITEM);
  const auto bigEndian = MakeCommand(0x18000000u, KALVOR_CMD_GET_START_ITEM, 24);
  const int32_t refused[] = {host.Command(1, nullptr, 24),
                             host.Command(2, nullptr, 24),
                             host.Command(3, start.data(), 3),
                             host.Command(4, start.data(), -5),
                             host.Command(5, MakeCommand(40, 100, 24)),
                             host.Command(6, bigEndian),
                             host.Command(7, bigEndian)};
  for (const int32_t answer : refused) EXPECT_EQ(answer, KALVOR_COMMAND_REFUSED);

  const std::string tooShort = ": envelope below 16 bytes; answered with result code 2";
  const std::vector<tAcceptedMistake> accepted = {
      {24, 101, 24, 2,
       "Command 101, size word 24: too small for the command's layout of 60 bytes; answered "
       "with result code 2"},
      {16, 105, 16, 3, "Command 105, size word 16: unknown command; answered with result code 3"},
      {0, 100, 4, 2, "Command (word not sent), size word 0" + tooShort},
      {8, 100, 8, 2, "Command 100, size word 8" + tooShort},
      {12, 100, 12, 2, "Command 100, size word 12" + tooShort},
      {24, 100, 24, 1,
       "Command 100 not run: the ini file \"" + plugin.IniPath() +
           "\" was just written with defaults and must be edited (DBName, DBUser, DBPWD), then "
           "read by Finalize_Plugin and Init_Plugin; answered with result code 1"}};
  std::vector<std::vector<uint8_t>> requests;
  for (const auto& mistake : accepted) {
    requests.push_back(MakeCommand(mistake.SizeWord, mistake.Command, mistake.Length));
    // As a host passing its whole receive buffer's length.
    EXPECT_EQ(host.Command(10, requests.back().data(), 65536), KALVOR_COMMAND_QUEUED);
  }
  const auto answers = host.WaitAnswers(accepted.size(), std::chrono::seconds(20));
  ASSERT_EQ(answers.size(), accepted.size());
  host.Finalize();

  const auto lines = log.MainMessages();
  for (size_t i = 0; i < accepted.size(); ++i) {
    SCOPED_TRACE(accepted[i].Line);
    EXPECT_EQ(answers[i].Size, static_cast<int32_t>(accepted[i].SizeWord));
    EXPECT_EQ(SignedWordAt(answers[i].Buffer, KALVOR_ENVELOPE_RESULT_CODE), accepted[i].ResultCode);
    EXPECT_TRUE(InsideFrame(lines, accepted[i].Line));
  }
  // The answer lives in the plugin's copy: the host's buffer is never written.
  EXPECT_EQ(WordAt(requests.back(), KALVOR_ENVELOPE_RESULT_CODE), 0u);

  for (const std::string line :
       {"Command refused: null buffer (CommandId=1): refusing such commands",
        "Refusals ended: 2 commands were refused for a null buffer",
        "Command refused: Size=3 is below 4, the size word's length (CommandId=3): refusing such "
        "commands",
        "Refusals ended: 2 commands were refused for a Size below 4",
        "Command refused: size word 40 is larger than Size=24 (CommandId=5): refusing such "
        "commands",
        "Refusals ended: 1 command was refused for a size word above Size",
        "Command refused: size word 402653184 is larger than Size=24 (CommandId=6): it reads 24 "
        "written big-endian, and must be little-endian: refusing such commands",
        "Refusals ended: 2 commands were refused for a size word written big-endian"})
    EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
}
