#include "notify_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace kb6::test {

NotifySocket::NotifySocket(const std::string& path) : path_(path) {
  fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (fd_ < 0 || path.size() >= sizeof addr.sun_path) throw std::runtime_error("socket");
  std::memcpy(addr.sun_path, path.data(), path.size());
  unlink(path.c_str());
  if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
    throw std::runtime_error("bind " + path);
}

NotifySocket::~NotifySocket() {
  if (fd_ >= 0) close(fd_);
  unlink(path_.c_str());
}

std::optional<std::string> NotifySocket::Receive(double seconds) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0) return std::nullopt;
  char buf[4096];
  const ssize_t n = recv(fd_, buf, sizeof buf, 0);
  if (n < 0) return std::nullopt;
  return std::string(buf, static_cast<size_t>(n));
}

int NotifySocket::Drain() {
  int n = 0;
  while (Receive(0)) ++n;
  return n;
}

}  // namespace kb6::test
