// Real KB6TRAY processes for the tests: spawned with extra environment
// entries, their standard error kept in a file.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace kb6::test {

struct ProcessResult {
  int status = -1;  // as waitpid reports it
  std::string err;
};

// Starts argv[0] with the environment of this process plus `env`
// ("NAME=value", replacing an inherited entry of that name); stdout goes to
// out_file, stderr to err_file.
pid_t Spawn(const std::vector<std::string>& args, const std::string& err_file,
            const std::string& out_file = "/dev/null", const std::vector<std::string>& env = {});

// Like Spawn, with stderr the write end of a fresh pipe whose read end is
// returned in `read_fd` (the caller closes it).
pid_t SpawnWithStderrPipe(const std::vector<std::string>& args, int& read_fd,
                          const std::vector<std::string>& env = {});

// The environment entry that shortens the progress pause to a millisecond.
inline const std::string kNoProgressPause = "KB6TRAY_PROGRESS_PAUSE=0";

std::vector<std::string> OnceCommand(const std::string& db, const std::string& data_dir);

// One cycle of KB6TRAY on `db` without the progress pause, waited for.
ProcessResult RunOnceQuickly(const std::string& db, const std::string& data_dir,
                             const std::string& err_file);

// Waits for `pid` at most `seconds`, then kills and reaps it and returns
// false: a hang does not hang the suite.
bool WaitWithDeadline(pid_t pid, int& status, double seconds);

}  // namespace kb6::test
