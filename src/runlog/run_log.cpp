#include "runlog/run_log.h"

#include "common/operator_notice.h"
#include "db/database.h"
#include "db/literals.h"
#include "runlog/log_os.h"

namespace kb6 {
namespace {

std::string WithSeparator(std::string path) {
  if (path.empty() || path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

std::string Masked(std::string line) {
  const std::string pw = kAccessPassword;
  for (size_t at = line.find(pw); at != std::string::npos; at = line.find(pw, at + 12))
    line.replace(at, pw.size(), "************");
  return line;
}

}  // namespace

RunLog::RunLog(Settings& settings, Database& db, const RegionalSettings& regional,
               const Clock& clock, std::string exe_dir, std::string exe_name)
    : settings_(settings),
      db_(db),
      regional_(regional),
      clock_(clock),
      exe_dir_(std::move(exe_dir)),
      exe_name_(std::move(exe_name)) {
  db_.SetErrorLog([this](const std::string& description) {
    if (in_counter_draw_) return;
    WriteLog(description, LogTypeError, "basDatenbank", "ExecuteSQL");
  });
}

RunLog::~RunLog() { db_.SetErrorLog(nullptr); }

std::string RunLog::LogFilePath(const std::string& directory) const {
  const std::string base = !directory.empty()             ? directory
                           : !settings_.Datenpfad.empty() ? settings_.Datenpfad
                                                          : exe_dir_;
  return WithSeparator(base) + "Logfiles" + kPathSeparator + exe_name_ + "_" +
         regional_.FormatDate(clock_.Now(), "yymmdd") + ".log";
}

void RunLog::WriteFileLine(const std::string& file, const std::string& line) {
  const std::string folder = file.substr(0, file.rfind(kPathSeparator) + 1);
  std::string cause;
  if (EnsureDirectory(folder, true, &cause) && AppendLogLine(file, line, &cause)) {
    if (!file_failure_.empty())
      TellOperator(NoticeLevel::kInfo, "Die Protokolldatei wird wieder geschrieben: " + file);
    file_failure_.clear();
    return;
  }
  ++lost_lines_;
  if (cause.empty()) cause = "Unbekannte Ursache.";
  // A new day's file in the same folder is the same failure.
  if (folder + cause == file_failure_) return;
  file_failure_ = folder + cause;
  TellOperator(NoticeLevel::kError,
               "Die Protokolldatei '" + file + "' kann nicht geschrieben werden: " + cause);
}

void RunLog::WriteLog(const std::string& text, int32_t type, const std::string& module,
                      const std::string& procedure, const std::string& directory) {
  const UncountedStatements uncounted(db_);
  try {
    std::string line;
    if (!module.empty()) line = module + " - ";
    if (!procedure.empty()) line += procedure + " - ";
    line += text;
    WriteFileLine(LogFilePath(directory),
                  regional_.FormatDate(clock_.Now(), "hh:mm:ss") + " " + Masked(line));
  } catch (...) {
    ++lost_lines_;
  }
  try {
    int32_t id = 0;
    {
      in_counter_draw_ = true;
      id = db_.GetNextID("tblALLGReorganisationProtokoll", "reoID");
      in_counter_draw_ = false;
    }
    const double now = clock_.Now();
    std::string sql = "INSERT INTO tblALLGReorganisationProtokoll () VALUES ()";
    AddInsertField(db_.CurrentDialect(), regional_, sql, std::to_string(id), "reoID", "N", false);
    AddInsertField(db_.CurrentDialect(), regional_, sql, regional_.ToText(Value::Date(now)),
                   "reoTimeStamp", "DT", false);
    AddInsertField(db_.CurrentDialect(), regional_, sql, regional_.FormatDate(now, "dd/mm/yyyy"),
                   "reoDatum", "A", false);
    AddInsertField(db_.CurrentDialect(), regional_, sql, regional_.FormatDate(now, "hh:mm:ss"),
                   "reoUhrzeit", "A", false);
    AddInsertField(db_.CurrentDialect(), regional_, sql, text, "reoEintrag", "A", false);
    AddInsertField(db_.CurrentDialect(), regional_, sql, std::to_string(type), "reoTyp", "N",
                   false);
    AddInsertField(db_.CurrentDialect(), regional_, sql, settings_.RunGuid, "reoGUID", "A", false);
    db_.ExecuteSQL(sql, true);
  } catch (...) {
    in_counter_draw_ = false;
  }
}

}  // namespace kb6
