#include "support/StatusSocketClient.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

StatusSocketClient::StatusSocketClient(const std::string& path)
    : Fd(socket(AF_UNIX, SOCK_STREAM, 0)) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  Connected = connect(Fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

StatusSocketClient::~StatusSocketClient() {
  close(Fd);
}

std::string StatusSocketClient::Ask(const std::string& bytes) {
  send(Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  std::string answer;
  char chunk[4096];
  for (ssize_t got; (got = recv(Fd, chunk, sizeof chunk, 0)) > 0;)
    answer.append(chunk, static_cast<size_t>(got));
  return answer;
}
