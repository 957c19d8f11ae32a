// The run log: every entry becomes one line of the daily file
// Logfiles/<executable>_<yymmdd>.log below the data directory and one row of
// tblALLGReorganisationProtokoll. Writing never fails towards the caller.
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
};

}  // namespace kb6
