// --metrics naming something that is no file: the monitor neither blocks on a
// FIFO nor renames a file into its place (which, for root, would replace a
// device such as /dev/null).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "process_support.h"
#include "report/tool_run.h"
#include "test_support.h"

namespace kb6::test {
namespace {

TEST(MetricsPlace, AFifoIsNeitherReadNorReplaced) {
  TempDir dir;
  GenerateClubDatabase(dir.File("club.db"), {5, 3});
  const std::string fifo = dir.File("kb6tray.prom");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  const ToolRun r = RunTool(
      dir.path(),
      {"--once", "--access-db", dir.File("club.db"), "--datenpfad", dir.path(), "--metrics", fifo},
      {kNoProgressPause});
  EXPECT_EQ(r.code, 0) << r.err;
  struct stat sb {};
  ASSERT_EQ(stat(fifo.c_str(), &sb), 0);
  EXPECT_TRUE(S_ISFIFO(sb.st_mode));
  EXPECT_NE(r.err.find("keine gewöhnliche Datei"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kb6::test
