#include "host/sd_notify.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kb6 {
namespace {

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

SdNotifier::SdNotifier(std::string socket, int64_t watchdog_usec)
    : socket_(std::move(socket)), watchdog_usec_(watchdog_usec) {}

SdNotifier SdNotifier::FromEnvironment() {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  if (socket == nullptr || (socket[0] != '/' && socket[0] != '@')) return {};
  int64_t usec = 0;
  // The watchdog belongs to the process systemd started; a child that
  // inherited the variables does not ping for it.
  const char* pid = std::getenv("WATCHDOG_PID");
  const char* watchdog = std::getenv("WATCHDOG_USEC");
  if (watchdog && (!pid || std::strtoll(pid, nullptr, 10) == getpid())) {
    char* end = nullptr;
    const long long v = std::strtoll(watchdog, &end, 10);
    if (end && *end == '\0' && v > 0) usec = v;
  }
  return SdNotifier(socket, usec);
}

bool SdNotifier::Send(const std::string& message) const {
  if (socket_.empty()) return false;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (socket_.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, socket_.data(), socket_.size());
  if (addr.sun_path[0] == '@') addr.sun_path[0] = '\0';
  const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socket_.size());
  const Fd s{socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
  if (s.fd < 0) return false;
  ssize_t sent = -1;
  do {
    sent = sendto(s.fd, message.data(), message.size(), MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&addr), len);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(message.size());
}

std::string StatusText(const std::string& tool_tip) {
  std::string out;
  for (char c : tool_tip) {
    if (c == '\r' || c == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
      continue;
    }
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace kb6
