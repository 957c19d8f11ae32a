#include "report/tool_run.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

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

double NewestEntryDay(RawDb& raw, const std::string& where) {
  const std::string q =
      " FROM tblALLGReorganisationProtokoll WHERE " + where + " ORDER BY reoID DESC LIMIT 1";
  int d = 0, m = 0, y = 0, hh = 0, mm = 0, ss = 0;
  std::sscanf(raw.One("SELECT reoDatum" + q).c_str(), "%d.%d.%d", &d, &m, &y);
  std::sscanf(raw.One("SELECT reoUhrzeit" + q).c_str(), "%d:%d:%d", &hh, &mm, &ss);
  return Day(y, m, d, hh, mm, ss);
}

void LoggedClub::SetUpTestSuite() {
  dir = std::make_unique<TempDir>();
  auto once = [](const std::string& db, const std::string& when) {
    const std::vector<std::string> command = OnceCommand(db, dir->File("data"));
    return RunTool(dir->path(), {command.begin() + 1, command.end()},
                   {kNoProgressPause, "KB6TRAY_TEST_NOW=" + when})
        .code;
  };
  fresh = dir->File("fresh.db");
  trapped = dir->File("trapped.db");
  GenerateClubDatabase(fresh, {40, 5});
  ASSERT_EQ(once(fresh, "2026-12-01 10:00:00+1"), 0);
  ASSERT_EQ(once(fresh, "2026-12-02 10:00:00+1"), 0);
  ASSERT_EQ(once(fresh, "2026-12-02 12:00:00+1"), 0);  // nothing due: nothing logged
  std::filesystem::copy_file(fresh, trapped);
  RawDb(trapped).Exec(
      "INSERT INTO BJOURNAL (ID, ADR_INR, ART, BS_NR) VALUES (99999, 1, '4', '999')");
  ASSERT_EQ(once(trapped, "2026-12-03 10:00:00+1"), 1);
}

}  // namespace kb6::test
