// The monitor's sd_notify messages, received on the test's own socket.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <vector>

#include "process_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// The test's own end of the protocol: a datagram socket bound to a path.
class NotifySocket {
 public:
  explicit NotifySocket(const std::string& path) : path_(path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.data(), std::min(path.size(), sizeof addr.sun_path - 1));
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << path;
  }
  ~NotifySocket() { close(fd_); }
  NotifySocket(const NotifySocket&) = delete;
  NotifySocket& operator=(const NotifySocket&) = delete;
  // The next message, or nullopt when none came within `seconds`.
  std::optional<std::string> Receive(double seconds) {
    pollfd p{fd_, POLLIN, 0};
    char buf[4096];
    if (poll(&p, 1, static_cast<int>(seconds * 1000)) <= 0) return std::nullopt;
    const ssize_t n = recv(fd_, buf, sizeof buf, 0);
    return n < 0 ? std::nullopt : std::optional<std::string>(std::string(buf, n));
  }
  std::string Env() const { return "NOTIFY_SOCKET=" + path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

TEST(SdNotify, OneCycleSendsReadyStatusPingsAndStoppingAndOutlivesItsStderrReader) {
  TempDir dir;
  GenerateClubDatabase(dir.File("club.db"), {5, 1});
  NotifySocket sock(dir.File("notify"));
  // The progress pause is kept, so pings must come from its waits. Standard
  // error goes to a reader that leaves after three lines (`| head -n 3`); the
  // console tray, as the desktop one's GIO would ignore SIGPIPE for us.
  int reader = -1;
  auto command = OnceCommand(dir.File("club.db"), dir.path());
  command.insert(command.end(), {"--tray", "console"});
  const pid_t pid = SpawnWithStderrPipe(command, reader, {sock.Env(), "WATCHDOG_USEC=400000"});
  ASSERT_GT(pid, 0);
  char c = 0;
  for (int lines = 0; lines < 3 && read(reader, &c, 1) == 1;) lines += c == '\n';
  close(reader);
  std::vector<std::string> messages;
  int pings_in_cycle = 0;
  bool in_cycle = false;
  while (auto m = sock.Receive(120)) {
    if (m->rfind("STATUS=In Arbeit", 0) == 0) in_cycle = true;
    if (*m == "STATUS=Korbinar V6 Systemüberwachung im Leerlauf") in_cycle = false;
    if (*m == "WATCHDOG=1") {
      pings_in_cycle += in_cycle;
      continue;
    }
    messages.push_back(*m);
    if (*m == "STOPPING=1") break;
  }
  int status = 0;
  ASSERT_TRUE(WaitWithDeadline(pid, status, 60));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;  // not by SIGPIPE
  ASSERT_GE(messages.size(), 4u);
  EXPECT_EQ(messages[0], "STATUS=Korbinar V6 Systemüberwachung im Leerlauf");
  EXPECT_EQ(messages[1], "READY=1");
  EXPECT_EQ(messages[2].rfind("STATUS=In Arbeit (01TG): ", 0), 0u) << messages[2];
  EXPECT_EQ(messages.back(), "STOPPING=1");
  // Nine jobs wait at least a second each: pings came from those waits.
  EXPECT_GE(pings_in_cycle, 9);
}

// The pings come from the idle loop's waits; SIGHUP is one of the close
// signals, all handled alike.
TEST(SdNotify, AnIdleMonitorPingsAndASignalEndsItAtOnce) {
  TempDir dir;
  CreateEmptyClubDatabase(dir.File("club.db"));
  NotifySocket sock(dir.File("notify"));
  const pid_t pid =
      Spawn({KB6TRAY_EXE, "--access-db", dir.File("club.db"), "--datenpfad", dir.path()},
            dir.File("err"), "/dev/null", {sock.Env(), "WATCHDOG_USEC=200000"});
  std::optional<std::string> m;
  while ((m = sock.Receive(10)) && *m != "WATCHDOG=1") {
  }
  EXPECT_EQ(m, "WATCHDOG=1");
  kill(pid, SIGHUP);
  int status = 0;
  ASSERT_TRUE(WaitWithDeadline(pid, status, 10));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  // "At once": no cycle ran before the end, which would have shown its texts.
  EXPECT_EQ(ReadFile(dir.File("err")),
            "[Symbol] Korbinar V6 Systemüberwachung im Leerlauf\n[Symbol] entfernt\n");
}

}  // namespace
}  // namespace kb6::test
