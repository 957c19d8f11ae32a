#include "check/check_command.h"

#include "check/club_check.h"
#include "db/sqlite_file.h"

namespace kb6::check {

int RunCheck(const std::string& path, bool fix, std::ostream& out, std::ostream& err) {
  SqliteHandle db;
  try {
    db = OpenSqliteFile(path, fix ? SqliteAccess::kReadWrite : SqliteAccess::kReadOnly);
  } catch (const DbError& e) {
    err << "KB6TRAY: " << e.what() << "\n";
    return 2;
  }
  try {
    out << "Prüfung von " << path << "\n\n";
    if (fix) {
      // All or nothing: a failure half way leaves the file as it was.
      SqliteExec(db.get(), "BEGIN IMMEDIATE");
      try {
        const std::vector<Change> changes = FixClubFile(db.get());
        SqliteExec(db.get(), "COMMIT");
        WriteChanges(changes, out);
      } catch (...) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
      }
      out << "\n";
    }
    const std::vector<Finding> findings = CheckClubFile(db.get());
    WriteFindings(findings, out);
    return findings.empty() ? 0 : 1;
  } catch (const DbError& e) {
    err << "KB6TRAY: Die Prüfung von '" << path << "' ist gescheitert: " << e.what() << "\n";
    return 2;
  }
}

}  // namespace kb6::check
