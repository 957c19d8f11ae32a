#include "report/history_command.h"

#include <fstream>

#include "db/database.h"
#include "db/odbc/odbc_provider.h"
#include "db/sqlite_provider.h"
#include "report/history.h"
#include "report/history_output.h"

namespace kb6::report {

int RunHistory(const DatabaseChoice& choice, const HistoryRequest& request, const Clock& clock,
               std::ostream& out, std::ostream& err) {
  Settings settings;
  settings.AccessDatenbank = choice.access_db;
  settings.SQLServer_Host = choice.sqlserver_host.empty() ? "lokal" : choice.sqlserver_host;
  settings.SQLServer_DB = choice.sqlserver_db;
  settings.SQLServer_User = choice.sqlserver_user;
  settings.SQLServer_Passwort = choice.sqlserver_password;
  const RegionalSettings regional = RegionalSettings::German();
  ProviderRegistry providers;
  RegisterSqliteProvider(providers);
  RegisterOdbcProvider(providers);
  Database db(settings, regional, clock, providers);
  // The history only reads: a read-only file or mount serves.
  db.SetReadOnly(true);
  if (!db.OpenDatabase()) {
    err << "KB6TRAY: Die Datenbank kann nicht geöffnet werden: " << db.LastConnectError() << "\n";
    return 2;
  }
  std::vector<LogRow> rows;
  const std::string read = ReadLogRows(db, regional, rows);
  db.CloseDatabase();
  if (!read.empty()) {
    err << "KB6TRAY: Das Protokoll tblALLGReorganisationProtokoll kann nicht gelesen werden: "
        << read << "\n";
    return 2;
  }
  const History history = BuildHistory(std::move(rows), clock.Now(), request.days);
  if (!request.html_file.empty()) {
    std::ofstream page(request.html_file, std::ios::binary | std::ios::trunc);
    page << HistoryHtml(history);
    page.close();
    if (!page) {
      err << "KB6TRAY: Die Seite '" << request.html_file << "' kann nicht geschrieben werden.\n";
      return 2;
    }
  }
  if (request.json)
    out << HistoryJson(history);
  else
    WriteHistoryText(history, out);
  return 0;
}

}  // namespace kb6::report
