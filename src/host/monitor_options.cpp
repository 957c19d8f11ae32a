#include "host/monitor_options.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "common/operator_notice.h"
#include "host/application.h"

namespace kb6 {

void AddMonitorOptions(CLI::App& cli, MonitorOptions& o, const std::string& once_use) {
  cli.add_option("--datenpfad", o.datenpfad,
                 "Data directory; the log folder Logfiles lies below it (default: the "
                 "executable's directory)");
  o.access_option = cli.add_option("--access-db", o.access_db,
                                   "Club database file of the embedded default (SQLite); selects "
                                   "it unless --sqlserver-host is given");
  o.host_option = cli.add_option("--sqlserver-host", o.sqlserver_host,
                                 "SQL Server data source; selects SQL Server");
  cli.add_option("--sqlserver-db", o.sqlserver_db, "SQL Server database (initial catalog)");
  cli.add_option("--sqlserver-user", o.sqlserver_user, "SQL Server login name");
  cli.add_option("--programmversion", o.programmversion,
                 "Program version of the host (kept, not used)");
  cli.add_flag("--once", o.once, "Run one cycle at once, then end (" + once_use + ")");
}

std::string MissingDatabaseMessage(const MonitorOptions& o) {
  if (o.UsesSqlServer() || o.UsesAccessFile()) return "";
  return "KB6TRAY: --access-db FILE oder --sqlserver-host HOST angeben (siehe --help).";
}

std::optional<int> CheckMonitorDatabase(MonitorOptions& o) {
  if (const std::string missing = MissingDatabaseMessage(o); !missing.empty()) {
    std::cerr << missing << "\n";
    return 2;
  }
  if (o.UsesAccessFile()) {
    // A UTF-8 path on every platform (wide on Windows, bytes elsewhere).
    const std::filesystem::path file(
        std::u8string(reinterpret_cast<const char8_t*>(o.access_db.data()), o.access_db.size()));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
      TellOperator(NoticeLevel::kError,
                   "Die Datenbankdatei '" + o.access_db + "' wurde nicht gefunden.");
      return 2;
    }
    const std::u8string absolute = std::filesystem::absolute(file, ec).u8string();
    o.access_db.assign(reinterpret_cast<const char*>(absolute.data()), absolute.size());
  }
  return std::nullopt;
}

void WriteProperties(const MonitorOptions& o, clsApplication& app) {
  app.Datenpfad(o.datenpfad);
  app.Programmversion(o.programmversion);
  app.AccessDatenbank(o.access_db);
  app.SQLServer_Host(o.UsesSqlServer() ? o.sqlserver_host : std::string("lokal"));
  app.SQLServer_DB(o.sqlserver_db);
  app.SQLServer_User(o.sqlserver_user);
  if (const char* pw = std::getenv("KB6TRAY_SQLSERVER_PASSWORD")) app.SQLServer_Passwort(pw);
}

}  // namespace kb6
