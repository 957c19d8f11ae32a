#include "report/tool_run.h"

#include <sys/wait.h>

#include "process_support.h"
#include "test_support.h"

namespace kb6::test {

ToolRun RunTool(const std::string& dir, const std::vector<std::string>& args,
                const std::vector<std::string>& env) {
  std::vector<std::string> all = {KB6TRAY_EXE};
  all.insert(all.end(), args.begin(), args.end());
  const std::string out = dir + "/tool.out", err = dir + "/tool.err";
  const pid_t pid = Spawn(all, err, out, env);
  int status = 0;
  waitpid(pid, &status, 0);
  ToolRun r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

}  // namespace kb6::test
