// The run log: every entry becomes one line of the daily file
// Logfiles/<executable>_<yymmdd>.log below the data directory and one row of
// tblALLGReorganisationProtokoll. Writing never fails towards the caller; a
// line the file did not take is named to the operator and counted.
#pragma once

#include <cstdint>
#include <string>

#include "common/clock.h"
#include "common/regional.h"
#include "common/settings.h"
#include "runlog/log_os.h"

namespace kb6 {

class Database;

inline constexpr int32_t LogTypeError = 1;
inline constexpr int32_t LogTypeInfo = 2;

class RunLog {
 public:
  // exe_dir: the folder used when Datenpfad is empty; exe_name: the file
  // name of the executable without extension (KB6TRAY).
  RunLog(Settings& settings, Database& db, const RegionalSettings& regional, const Clock& clock,
         std::string exe_dir, std::string exe_name);
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  void WriteLog(const std::string& text, int32_t type, const std::string& module = "",
                const std::string& procedure = "", const std::string& directory = "");

  // The file the next entry of today goes to (for the host's messages and tests).
  std::string LogFilePath(const std::string& directory = "") const;

  // Lines the log file did not take since the last call (the table row of
  // each was still tried). The cycle adds them to its report's errors.
  int32_t TakeLostLines() {
    const int32_t n = lost_lines_;
    lost_lines_ = 0;
    return n;
  }

 private:
  Settings& settings_;
  Database& db_;
  const RegionalSettings& regional_;
  const Clock& clock_;
  std::string exe_dir_;
  std::string exe_name_;
  // Set while the log draws its own row number: a failure of that draw is
  // not written back into the log, which would draw again.
  bool in_counter_draw_ = false;
  // Why the last line could not be written ("" while lines are written):
  // the operator is told once per cause, not once per line.
  std::string file_failure_;
  int32_t lost_lines_ = 0;

  void WriteFileLine(const std::string& file, const std::string& line);
};

}  // namespace kb6
