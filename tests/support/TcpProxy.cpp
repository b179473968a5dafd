#include "support/TcpProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace {
sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int ConnectTo(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// One client and its way to the server; no server side while held.
struct tPair {
  int Client = -1;
  int Server = -1;
  int AnswersCarried = 0;
  bool Closed = false;

  void Close() {
    if (Client >= 0) close(Client);
    if (Server >= 0) close(Server);
    Client = Server = -1;
    Closed = true;
  }
};

// False when the source ended or failed.
bool Carry(int from, int to) {
  char bytes[16384];
  const ssize_t got = read(from, bytes, sizeof bytes);
  if (got <= 0) return false;
  for (ssize_t sent = 0; sent < got;) {
    const ssize_t written = write(to, bytes + sent, static_cast<size_t>(got - sent));
    if (written <= 0) return false;
    sent += written;
  }
  return true;
}
}  // namespace

TcpProxy::TcpProxy(int serverPort, tMode mode) : ServerPort_(serverPort), Mode_(mode) {
  Listener_ = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in any = Loopback(0);
  socklen_t length = sizeof any;
  sockaddr_in bound{};
  if (bind(Listener_, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0 ||
      listen(Listener_, 64) != 0 ||
      getsockname(Listener_, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
    throw std::runtime_error("the proxy cannot listen");
  Port_ = ntohs(bound.sin_port);
  Thread_ = std::thread([this] { Run(); });
}

TcpProxy::~TcpProxy() {
  Quit_ = true;
  Thread_.join();
  close(Listener_);
}

std::string TcpProxy::Host() const {
  return "127.0.0.1/" + std::to_string(Port_);
}

void TcpProxy::Run() {
  std::vector<tPair> pairs;
  while (!Quit_) {
    const tMode mode = Mode_;
    std::vector<pollfd> watched{{Listener_, POLLIN, 0}};
    std::vector<std::pair<size_t, bool>> owners;  // pair index, from the client
    for (size_t index = 0; index < pairs.size(); ++index) {
      tPair& pair = pairs[index];
      if (pair.Closed) continue;
      if (mode == tMode::Forward && pair.Server < 0) {
        pair.Close();
        continue;
      }
      if (mode == tMode::Partition || pair.Server < 0) continue;
      watched.push_back({pair.Client, POLLIN, 0});
      owners.push_back({index, true});
      if (mode == tMode::FirstAnswerOnly && pair.AnswersCarried > 0) continue;
      watched.push_back({pair.Server, POLLIN, 0});
      owners.push_back({index, false});
    }
    if (poll(watched.data(), watched.size(), 50) <= 0) continue;
    if (watched[0].revents & POLLIN) {
      tPair pair;
      pair.Client = accept(Listener_, nullptr, nullptr);
      if (mode != tMode::Partition) pair.Server = ConnectTo(ServerPort_);
      pairs.push_back(pair);
    }
    for (size_t slot = 1; slot < watched.size(); ++slot) {
      if (watched[slot].revents == 0) continue;
      auto [index, fromClient] = owners[slot - 1];
      tPair& pair = pairs[index];
      if (pair.Closed) continue;
      const bool carried =
          fromClient ? Carry(pair.Client, pair.Server) : Carry(pair.Server, pair.Client);
      if (!carried) pair.Close();
      if (carried && !fromClient) ++pair.AnswersCarried;
    }
  }
  for (tPair& pair : pairs) pair.Close();
}
