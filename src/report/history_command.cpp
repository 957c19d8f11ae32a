#include "report/history_command.h"

#include <fstream>

#include "db/database.h"
#include "db/odbc/odbc_provider.h"
#include "db/sqlite_provider.h"
#include "report/history.h"
#include "report/history_output.h"

namespace kb6::report {

LogRead ReadRunLog(const DatabaseChoice& choice, const Clock& clock) {
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
  db.SetReadOnly(true);
  LogRead read;
  if (!db.OpenDatabase()) {
    read.open_error = db.LastConnectError();
    return read;
  }
  read.read_error = ReadLogRows(db, regional, read.rows);
  db.CloseDatabase();
  return read;
}

int RunHistory(const DatabaseChoice& choice, const HistoryRequest& request, const Clock& clock,
               std::ostream& out, std::ostream& err) {
  LogRead read = ReadRunLog(choice, clock);
  if (!read.open_error.empty()) {
    err << "KB6TRAY: Die Datenbank kann nicht geöffnet werden: " << read.open_error << "\n";
    return 2;
  }
  if (!read.read_error.empty()) {
    err << "KB6TRAY: Das Protokoll tblALLGReorganisationProtokoll kann nicht gelesen werden: "
        << read.read_error << "\n";
    return 2;
  }
  const History history = BuildHistory(std::move(read.rows), clock.Now(), request.days);
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
