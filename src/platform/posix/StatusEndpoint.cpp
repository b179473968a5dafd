#include "platform/StatusEndpoint.h"

#include <fcntl.h>
#include <grp.h>
#include <kalvor/status_channel.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
// Out of descriptors, accept fails at once as long as a client waits: the
// next attempt comes after this pause rather than at once.
constexpr int AcceptPauseMs = 100;

std::string SystemWords(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

class tDescriptor {
 public:
  explicit tDescriptor(int fd = -1) : Fd(fd) {}
  ~tDescriptor() { Reset(-1); }
  tDescriptor(const tDescriptor&) = delete;
  tDescriptor& operator=(const tDescriptor&) = delete;

  int Get() const { return Fd; }
  void Reset(int fd) {
    if (Fd >= 0) close(Fd);
    Fd = fd;
  }

 private:
  int Fd;
};

int MillisecondsLeft(tStatusDeadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
}

// The folder of the account's own when the shared one is not writable: made
// here if missing, and used only while nobody else owns it or may write it.
std::string OwnFolder() {
  const std::string folder = KALVOR_STATUS_FALLBACK_PREFIX + std::to_string(geteuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw tStatusEndpointError(SystemWords("cannot make " + folder, errno));
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0)
    throw tStatusEndpointError(SystemWords("cannot look at " + folder, errno));
  if (!S_ISDIR(info.st_mode) || info.st_uid != geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)))
    throw tStatusEndpointError(folder +
                               " is not a folder of this account's own that only it may write");
  return folder;
}

std::string EndpointFolder() {
  if (access(KALVOR_STATUS_FOLDER, W_OK | X_OK) == 0) return KALVOR_STATUS_FOLDER;
  return OwnFolder();
}

std::string GroupName(gid_t gid) {
  const group* entry = getgrgid(gid);
  return entry != nullptr ? entry->gr_name : std::to_string(gid);
}
}  // namespace

struct tStatusEndpoint::tImpl {
  std::string Path;
  tDescriptor Listener;
  // Written once by Stop and never read: every later poll sees it.
  tDescriptor WakeRead;
  tDescriptor WakeWrite;
  std::string Access;

  bool Stopped() const {
    pollfd wake{WakeRead.Get(), POLLIN, 0};
    return poll(&wake, 1, 0) != 0;
  }

  // Polls the descriptor and the wake pipe; true when the descriptor is ready
  // and the endpoint not stopped.
  bool WaitFor(int fd, short events, int timeoutMs) const {
    pollfd fds[2] = {{fd, events, 0}, {WakeRead.Get(), POLLIN, 0}};
    const int ready = poll(fds, 2, timeoutMs);
    return ready > 0 && fds[1].revents == 0 && fds[0].revents != 0;
  }
};

namespace {
class tSocketConnection : public tStatusConnection {
 public:
  tSocketConnection(int fd, const tStatusEndpoint::tImpl& endpoint)
      : Socket(fd), Endpoint(endpoint) {}

  std::string ReadRequest(std::size_t limit, tStatusDeadline deadline) override {
    std::string request;
    char chunk[256];
    while (request.size() < limit && request.find('\n') == std::string::npos) {
      if (!Endpoint.WaitFor(Socket.Get(), POLLIN, MillisecondsLeft(deadline))) break;
      const ssize_t got =
          recv(Socket.Get(), chunk, std::min(sizeof chunk, limit - request.size()), 0);
      if (got <= 0) {
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        break;
      }
      request.append(chunk, static_cast<size_t>(got));
    }
    return request;
  }

  // MSG_NOSIGNAL: a client gone never raises SIGPIPE in the host.
  void WriteAnswer(const std::string& answer, tStatusDeadline deadline) override {
    size_t sent = 0;
    while (sent < answer.size()) {
      if (!Endpoint.WaitFor(Socket.Get(), POLLOUT, MillisecondsLeft(deadline))) return;
      const ssize_t done =
          send(Socket.Get(), answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
      if (done < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (done <= 0) return;
      sent += static_cast<size_t>(done);
    }
  }

 private:
  tDescriptor Socket;
  const tStatusEndpoint::tImpl& Endpoint;
};

// The group of the logs folder may connect when it may write there; others
// never. In the account's own folder the group may also look for the socket.
std::string ShareLikeLogs(const std::string& folder, const std::string& path,
                          const std::string& logsFolder) {
  struct stat logs {};
  const bool shared = stat(logsFolder.c_str(), &logs) == 0 && (logs.st_mode & S_IWGRP) != 0;
  const bool ownFolder = folder != KALVOR_STATUS_FOLDER;
  if (shared && chown(path.c_str(), static_cast<uid_t>(-1), logs.st_gid) == 0 &&
      chmod(path.c_str(), 0660) == 0 &&
      (!ownFolder || (chown(folder.c_str(), static_cast<uid_t>(-1), logs.st_gid) == 0 &&
                      chmod(folder.c_str(), 0750) == 0)))
    return "mode 0660, group " + GroupName(logs.st_gid) + " as " + logsFolder;
  chmod(path.c_str(), 0600);
  return "mode 0600, this account alone";
}
}  // namespace

tStatusEndpoint::tStatusEndpoint(const std::string& pluginName, const std::string& logsFolder)
    : Impl(std::make_unique<tImpl>()) {
  const std::string folder = EndpointFolder();
  Impl->Path = folder + "/" + KALVOR_STATUS_PREFIX + StatusEndpointName(pluginName) + "-" +
               std::to_string(getpid()) + KALVOR_STATUS_SUFFIX;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (Impl->Path.size() >= sizeof address.sun_path)
    throw tStatusEndpointError(Impl->Path + " is too long for a socket's name");
  Impl->Path.copy(address.sun_path, Impl->Path.size());

  int wake[2];
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
    throw tStatusEndpointError(SystemWords("cannot make a pipe", errno));
  Impl->WakeRead.Reset(wake[0]);
  Impl->WakeWrite.Reset(wake[1]);
  const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listener < 0) throw tStatusEndpointError(SystemWords("cannot make a socket", errno));
  Impl->Listener.Reset(listener);

  // A socket left by an earlier process of the same id.
  struct stat old {};
  if (lstat(Impl->Path.c_str(), &old) == 0 && S_ISSOCK(old.st_mode)) unlink(Impl->Path.c_str());
  if (bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
    throw tStatusEndpointError(SystemWords("cannot bind " + Impl->Path, errno));
  Impl->Access = ShareLikeLogs(folder, Impl->Path, logsFolder);
  if (listen(listener, 8) != 0) {
    const int error = errno;
    unlink(Impl->Path.c_str());
    throw tStatusEndpointError(SystemWords("cannot listen on " + Impl->Path, error));
  }
}

tStatusEndpoint::~tStatusEndpoint() {
  unlink(Impl->Path.c_str());
}

std::string tStatusEndpoint::Description() const {
  return Impl->Path + " (" + Impl->Access + ")";
}

std::unique_ptr<tStatusConnection> tStatusEndpoint::Accept() {
  while (!Impl->Stopped()) {
    if (!Impl->WaitFor(Impl->Listener.Get(), POLLIN, -1)) continue;
    const int client =
        accept4(Impl->Listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client >= 0) return std::make_unique<tSocketConnection>(client, *Impl);
    if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
      poll(nullptr, 0, AcceptPauseMs);
  }
  return nullptr;
}

void tStatusEndpoint::Stop() noexcept {
  const char stop = 1;
  [[maybe_unused]] const ssize_t written = write(Impl->WakeWrite.Get(), &stop, 1);
}
