#include "check/check_command.h"

#include "check/club_check.h"
#include "check/sqlite_handle.h"

namespace kb6::check {

int RunCheck(const std::string& path, bool fix, std::ostream& out, std::ostream& err) {
  DbHandle db;
  try {
    db = OpenClubFile(path, fix);
  } catch (const CheckError& e) {
    err << "KB6TRAY: Die Datenbankdatei '" << path << "' kann nicht gelesen werden: " << e.what()
        << "\n";
    return 2;
  }
  try {
    out << "Prüfung von " << path << "\n\n";
    if (fix) {
      // All or nothing: a failure half way leaves the file as it was.
      Exec(db.get(), "BEGIN IMMEDIATE");
      try {
        const std::vector<Change> changes = FixClubFile(db.get());
        Exec(db.get(), "COMMIT");
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
  } catch (const CheckError& e) {
    err << "KB6TRAY: Die Prüfung von '" << path << "' ist gescheitert: " << e.what() << "\n";
    return 2;
  }
}

}  // namespace kb6::check
