// KB6TRAY commands run to their end, and club files logged by real runs.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace kb6::test {

struct ToolRun {
  int code = -1;  // exit code; -1 when it did not end by itself
  std::string out, err;
};

ToolRun RunTool(const std::string& dir, const std::vector<std::string>& args,
                const std::vector<std::string>& env = {});

// The day number (as `Day`) of the newest run log entry matching `where`.
double NewestEntryDay(RawDb& raw, const std::string& where);

// Club files logged by real --once runs, clock faked: `fresh` ran all
// intervals on 01.12.2026, the one-day one on 02.12.2026 and nothing two
// hours later; its copy `trapped` ran the one-day one on 03.12.2026, the
// donation job trapped by a kind-4 booking without its fee-key master.
class LoggedClub : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite() { dir.reset(); }
  // KB6TRAY with `args`, its clock at `when`.
  static ToolRun At(const std::string& when, const std::vector<std::string>& args) {
    return RunTool(dir->path(), args, {"KB6TRAY_TEST_NOW=" + when});
  }
  inline static std::unique_ptr<TempDir> dir;
  inline static std::string fresh, trapped;
};

}  // namespace kb6::test
