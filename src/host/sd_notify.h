// The sd_notify protocol of systemd, written out: one datagram per message
// to the socket named by NOTIFY_SOCKET (a path, or "@" for the abstract
// namespace). No socket named: every call does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace kb6 {

class SdNotifier {
 public:
  // From NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID of this process.
  static SdNotifier FromEnvironment();
  SdNotifier() = default;
  SdNotifier(std::string socket, int64_t watchdog_usec);

  bool Active() const { return !socket_.empty(); }
  // The interval systemd expects pings in, 0 without a watchdog.
  int64_t WatchdogUsec() const { return watchdog_usec_; }
  // Sends "READY=1", "STATUS=...", ...; false when it could not be sent.
  bool Send(const std::string& message) const;

 private:
  std::string socket_;
  int64_t watchdog_usec_ = 0;
};

// A tool tip as one STATUS= line: each line break becomes one blank.
std::string StatusText(const std::string& tool_tip);

}  // namespace kb6
