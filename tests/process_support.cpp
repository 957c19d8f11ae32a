#include "process_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

#include "test_support.h"

extern char** environ;

namespace kb6::test {

namespace {

pid_t SpawnWith(posix_spawn_file_actions_t& fa, const std::vector<std::string>& args,
                const std::vector<std::string>& env) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  // An entry in `env` replaces the inherited one of the same name.
  auto overridden = [&](const char* entry) {
    const std::string_view name(entry, std::strcspn(entry, "="));
    for (const auto& e : env)
      if (e.size() > name.size() && e.compare(0, name.size(), name) == 0 && e[name.size()] == '=')
        return true;
    return false;
  };
  for (char** e = environ; *e; ++e)
    if (!overridden(*e)) envp.push_back(*e);
  for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  // Children start with SIGPIPE at its default, as from a shell, whatever
  // the test runner ignores: the monitor must set up its own.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = -1;
  posix_spawn(&pid, argv[0], &fa, &attr, argv.data(), envp.data());
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&fa);
  return pid;
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& args, const std::string& err_file,
            const std::string& out_file, const std::vector<std::string>& env) {
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  return SpawnWith(fa, args, env);
}

pid_t SpawnWithStderrPipe(const std::vector<std::string>& args, int& read_fd,
                          const std::vector<std::string>& env) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
  const pid_t pid = SpawnWith(fa, args, env);
  close(fds[1]);
  read_fd = fds[0];
  return pid;
}

std::vector<std::string> OnceCommand(const std::string& db, const std::string& data_dir) {
  return {KB6TRAY_EXE, "--once", "--access-db", db, "--datenpfad", data_dir};
}

ProcessResult RunOnceQuickly(const std::string& db, const std::string& data_dir,
                             const std::string& err_file) {
  const pid_t pid = Spawn(OnceCommand(db, data_dir), err_file, "/dev/null", {kNoProgressPause});
  ProcessResult r;
  waitpid(pid, &r.status, 0);
  r.err = ReadFile(err_file);
  return r;
}

bool WaitWithDeadline(pid_t pid, int& status, double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    if (waitpid(pid, &status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return false;
}

}  // namespace kb6::test
