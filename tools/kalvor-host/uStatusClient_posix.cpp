#include <kalvor/status_channel.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "uStatusClient.h"

namespace {
namespace fs = std::filesystem;

class tSocket {
 public:
  tSocket() : Fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
  ~tSocket() {
    if (Fd >= 0) close(Fd);
  }
  tSocket(const tSocket&) = delete;
  tSocket& operator=(const tSocket&) = delete;
  int Get() const { return Fd; }

 private:
  int Fd;
};

bool ProcessIsAlive(uint32_t pid) {
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void Search(const fs::path& folder, tStatusSearch& search) {
  std::error_code error;
  fs::directory_iterator entries(folder, error);
  if (error) {
    if (error != std::errc::no_such_file_or_directory)
      search.Problems.push_back("cannot look into " + folder.string() + ": " + error.message());
    return;
  }
  for (const fs::directory_entry& entry : entries) {
    const uint32_t pid = EndpointProcessId(entry.path().filename().string(), KALVOR_STATUS_SUFFIX);
    if (pid != 0 && ProcessIsAlive(pid)) search.Found.push_back({entry.path().string(), pid});
  }
}

std::string Words(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::max<long long>(left.count(), 0));
}
}  // namespace

tStatusSearch FindStatusEndpoints() {
  tStatusSearch search;
  Search(KALVOR_STATUS_FOLDER, search);
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator("/tmp", error)) {
    const std::string name = entry.path().filename().string();
    const std::string prefix = fs::path(KALVOR_STATUS_FALLBACK_PREFIX).filename().string();
    if (name.rfind(prefix, 0) == 0 &&
        name.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
      Search(entry.path(), search);
  }
  SortByProcess(search);
  return search;
}

std::string AskStatus(const tStatusEndpointInfo& endpoint, const std::string& request,
                      std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  endpoint.Address.copy(address.sun_path, sizeof address.sun_path - 1);
  tSocket socket;
  if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;
    throw tStatusAskError(Words("cannot connect to " + endpoint.Address, error),
                          error == EACCES || error == EPERM);
  }
  const std::string line = request + "\n";
  if (send(socket.Get(), line.data(), line.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(line.size()))
    throw tStatusAskError(Words("cannot send to " + endpoint.Address, errno), false);
  std::string answer;
  char chunk[4096];
  for (;;) {
    pollfd ready{socket.Get(), POLLIN, 0};
    if (poll(&ready, 1, MillisecondsLeft(deadline)) <= 0)
      throw tStatusAskError("no answer from " + endpoint.Address + " in time", false);
    const ssize_t got = recv(socket.Get(), chunk, sizeof chunk, 0);
    if (got == 0) return answer;
    if (got < 0 && errno != EINTR)
      throw tStatusAskError(Words("cannot read from " + endpoint.Address, errno), false);
    if (got > 0) answer.append(chunk, static_cast<size_t>(got));
  }
}

const char* StatusRefusalAdvice() {
  return "only the host's account and the group of its Logs folder may ask (where the "
         "package is installed: add this account to the kalvor group)";
}
