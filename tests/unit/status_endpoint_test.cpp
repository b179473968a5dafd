// The status channel's socket with clients written by hand: whom it answers
// how, that no client holds it beyond its patience, and that it goes away
// whole when the channel ends.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include "plugin/tStatusChannel.h"
#include "support/StatusSocketClient.h"
#include "support/TempFolder.h"

using namespace std::chrono_literals;

namespace {
// Generous: these bound hangs, they do not measure speed.
constexpr auto Patience = 20s;

// The socket's path, from the channel's own description "path (who may ask)".
std::string PathOf(const tStatusChannel& channel) {
  const std::string description = channel.Description();
  return description.substr(0, description.find(" ("));
}

class StatusEndpointTest : public ::testing::Test {
 protected:
  std::unique_ptr<tStatusChannel> Open(const std::string& name) {
    return std::make_unique<tStatusChannel>(name, Logs.Path().string(), [this] {
      ++Gathered;
      tStatusSnapshot snapshot;
      snapshot.Name = "DYNAMIC_MENU";
      snapshot.ProcessId = static_cast<uint32_t>(getpid());
      return snapshot;
    });
  }

  TempFolder Logs;
  std::atomic<int> Gathered{0};
};
}  // namespace

TEST(StatusEndpointName, KeepsLettersDigitsAndUnderscoresWithinFortyCharacters) {
  EXPECT_EQ(StatusEndpointName("DYNAMIC_MENU"), "DYNAMIC_MENU");
  EXPECT_EQ(StatusEndpointName("DYNAMIC_MENU_Nord-1 x/.."), "DYNAMIC_MENU_Nord_1_x___");
  EXPECT_EQ(StatusEndpointName("DYNAMIC_MENU_\xd1\xe5\xe2\xe5\xf0"), "DYNAMIC_MENU______");
  EXPECT_EQ(StatusEndpointName(std::string(60, 'A')), std::string(40, 'A'));
}

TEST_F(StatusEndpointTest, EachClientGetsOneAnswerAndOnlyAStatusIsGathered) {
  const auto channel = Open("DYNAMIC_MENU_Unit");
  const std::string path = PathOf(*channel);
  EXPECT_EQ(std::filesystem::path(path).filename(),
            "kalvor-DYNAMIC_MENU_Unit-" + std::to_string(getpid()) + ".sock");
  EXPECT_EQ(StatusSocketClient(path).Ask("status\n").rfind("plugin: DYNAMIC_MENU ", 0), 0u);
  EXPECT_EQ(StatusSocketClient(path).Ask("STATUS JSON\r\n").rfind("{\"name\":\"DYNAMIC_MENU\",", 0),
            0u);
  EXPECT_EQ(Gathered, 2);
  EXPECT_EQ(StatusSocketClient(path).Ask("help\n"),
            "requests: status (the status as text), status json (the same as JSON), help\n");
  EXPECT_EQ(
      StatusSocketClient(path).Ask("shutdown\n").rfind("error: unknown request \"shutdown\"", 0),
      0u);
  EXPECT_EQ(StatusSocketClient(path).Ask(std::string(4096, 'x')),
            "error: no request line within 256 bytes\n");
  EXPECT_EQ(StatusSocketClient(path).Ask(""), "") << "nothing sent, nothing answered";
  EXPECT_EQ(Gathered, 2) << "help, errors and silence gather nothing";
}

// A client that connects and sends nothing, and one that asks and never
// reads: each is dropped at its patience, and the next client is answered.
TEST_F(StatusEndpointTest, NoClientHoldsTheChannelBeyondItsPatience) {
  const auto channel = Open("DYNAMIC_MENU_Unit");
  const std::string path = PathOf(*channel);
  StatusSocketClient silent(path);
  StatusSocketClient deaf(path);
  send(deaf.Fd, "status json\n", 12, MSG_NOSIGNAL);
  auto asked =
      std::async(std::launch::async, [&] { return StatusSocketClient(path).Ask("status\n"); });
  ASSERT_EQ(asked.wait_for(Patience), std::future_status::ready);
  EXPECT_EQ(asked.get().rfind("plugin: ", 0), 0u);
  char byte;
  EXPECT_EQ(recv(silent.Fd, &byte, 1, 0), 0) << "the silent client was closed";
}

// Ended while a client waits: the channel returns and its socket is gone; a
// socket an earlier process of the same id left is taken over.
TEST_F(StatusEndpointTest, EndsWhileAClientWaitsAndTakesOverALeftSocket) {
  auto channel = Open("DYNAMIC_MENU_Unit");
  const std::string path = PathOf(*channel);
  StatusSocketClient waiting(path);
  ASSERT_TRUE(waiting.Connected);
  auto ended = std::async(std::launch::async, [&] { channel.reset(); });
  ASSERT_EQ(ended.wait_for(Patience), std::future_status::ready);
  EXPECT_FALSE(std::filesystem::exists(path));

  {
    const int left = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(left, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    close(left);
  }
  ASSERT_TRUE(std::filesystem::is_socket(path));
  channel = Open("DYNAMIC_MENU_Unit");
  EXPECT_EQ(StatusSocketClient(path).Ask("status\n").rfind("plugin: ", 0), 0u);
}
