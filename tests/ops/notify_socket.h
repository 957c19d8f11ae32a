// The test's own end of the sd_notify protocol: a datagram socket bound to a
// path, read with a deadline, each message with the time it arrived.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace kb6::test {

class NotifySocket {
 public:
  explicit NotifySocket(const std::string& path);
  ~NotifySocket();
  NotifySocket(const NotifySocket&) = delete;
  NotifySocket& operator=(const NotifySocket&) = delete;
  // The next message, or nullopt when none came within `seconds`.
  std::optional<std::string> Receive(double seconds);
  // Reads and counts what is already there, without waiting.
  int Drain();
  std::string Env() const { return "NOTIFY_SOCKET=" + path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace kb6::test
