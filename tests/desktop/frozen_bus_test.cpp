// A session bus that accepts the connection and never answers: the monitor
// does not hang at start-up. "auto" falls back to the console tray and runs
// its cycle; "desktop" ends with exit code 2 and the cause.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "process_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// A unix socket that is listened on and never accepted: the kernel takes
// the connections into the backlog, and nobody ever answers them.
class FrozenBus {
 public:
  explicit FrozenBus(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    listening_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                 listen(fd_, 8) == 0;
  }
  ~FrozenBus() {
    if (fd_ >= 0) close(fd_);
  }
  bool Running() const { return listening_; }

 private:
  int fd_;
  bool listening_ = false;
};

TEST(FrozenBus, AutoFallsBackAndDesktopEndsWithTheCause) {
  TempDir dir;
  const std::string db = dir.File("club.db");
  GenerateClubDatabase(db, {20, 2});
  FrozenBus bus(dir.File("bus"));
  ASSERT_TRUE(bus.Running());
  const std::vector<std::string> env = {kNoProgressPause,
                                        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir.File("bus")};
  struct Case {
    const char* tray;
    int exit_code;
    const char* err_has;
  };
  const Case cases[] = {
      {"auto", 0, "Die Datenreorganisation ist abgeschlossen."},
      {"desktop", 2,
       "KB6TRAY: --tray desktop braucht den Sitzungsbus: Der Sitzungsbus antwortet nicht "
       "innerhalb von 3 Sekunden.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tray);
    const pid_t pid = Spawn(
        {KB6TRAY_EXE, "--once", "--tray", c.tray, "--access-db", db, "--datenpfad", dir.path()},
        dir.File("err"), "/dev/null", env);
    int status = 0;
    ASSERT_TRUE(WaitWithDeadline(pid, status, 120)) << "hangs on a frozen bus";
    const std::string err = ReadFile(dir.File("err"));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.exit_code) << status << "\n" << err;
    EXPECT_NE(err.find(c.err_has), std::string::npos) << err;
  }
}

}  // namespace
}  // namespace kb6::test
