// A KB6TRAY command run to its end, its standard output kept.
#pragma once

#include <string>
#include <vector>

namespace kb6::test {

struct ToolRun {
  int code = -1;  // exit code; -1 when it did not end by itself
  std::string out, err;
};

ToolRun RunTool(const std::string& dir, const std::vector<std::string>& args,
                const std::vector<std::string>& env = {});

// A --once cycle on `db` with the clock faked to `when`; its exit code.
int OnceAt(const std::string& dir, const std::string& db, const std::string& when);

class RawDb;
// The day number (as `Day`) of the newest run log entry matching `where`.
double NewestEntryDay(RawDb& raw, const std::string& where);

}  // namespace kb6::test
