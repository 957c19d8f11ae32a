#include "host/status_read.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "common/clock.h"
#include "db/database.h"
#include "db/odbc/odbc_provider.h"
#include "db/sqlite_handles.h"
#include "db/sqlite_provider.h"

namespace kb6 {
namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr const char* kLogQuery =
    "SELECT reoID, reoTimeStamp, reoDatum, reoUhrzeit, reoEintrag, reoTyp, reoGUID FROM "
    "tblALLGReorganisationProtokoll";

// The file's header: whether it is an SQLite database, and whether it is in
// WAL mode (read and write versions 2).
struct Header {
  bool sqlite = false;
  bool wal = false;
};
Header ReadHeader(const std::string& path) {
  char buf[20] = {};
  std::ifstream f(path, std::ios::binary);
  f.read(buf, sizeof buf);
  Header h;
  h.sqlite =
      f.gcount() == sizeof buf && std::string(buf, 16) == std::string("SQLite format 3\0", 16);
  h.wal = h.sqlite && buf[18] == 2 && buf[19] == 2;
  return h;
}

std::string UriOf(const std::string& path, bool immutable) {
  std::string uri = "file:";
  for (unsigned char c : std::filesystem::absolute(path).string()) {
    if (c == '?' || c == '#' || c == '%' || c < 0x20) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      uri += hex;
    } else {
      uri += static_cast<char>(c);
    }
  }
  return uri + (immutable ? "?mode=ro&immutable=1" : "?mode=ro");
}

std::string Text(sqlite3_stmt* st, int col) {
  const unsigned char* t = sqlite3_column_text(st, col);
  return t ? std::string(reinterpret_cast<const char*>(t),
                         static_cast<size_t>(sqlite3_column_bytes(st, col)))
           : std::string();
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

LogRead ReadSqlite(const std::string& path, bool immutable) {
  LogRead out;
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(UriOf(path, immutable).c_str(), &raw,
                                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
  SqliteHandle db(raw);
  if (rc != SQLITE_OK) {
    out.open_error = "Die Datenbankdatei '" + path + "' kann nicht geöffnet werden: " +
                     (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    return out;
  }
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  // The first read tells a locked or damaged file apart from a missing log.
  if (sqlite3_exec(raw, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
      SQLITE_OK) {
    out.open_error =
        "Die Datenbankdatei '" + path + "' kann nicht gelesen werden: " + sqlite3_errmsg(raw);
    return out;
  }
  sqlite3_stmt* st_raw = nullptr;
  if (sqlite3_prepare_v2(raw, kLogQuery, -1, &st_raw, nullptr) != SQLITE_OK) {
    out.read_error = sqlite3_errmsg(raw);
    return out;
  }
  SqliteStatement st(st_raw);
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(st.get())) == SQLITE_ROW) {
    report::LogRow row;
    const double id = sqlite3_column_double(st.get(), 0);
    row.id = std::isfinite(id) && std::fabs(id) < 9e15 ? static_cast<int64_t>(id) : 0;
    const double type = sqlite3_column_double(st.get(), 5);
    row.type = type == 1 ? 1 : type == 2 ? 2 : 0;
    row.text = Text(st.get(), 4);
    row.guid = Trimmed(Text(st.get(), 6));
    std::optional<double> when = report::EntryTime(Text(st.get(), 2), Text(st.get(), 3));
    if (!when && sqlite3_column_type(st.get(), 1) == SQLITE_FLOAT) {
      const double stamp = sqlite3_column_double(st.get(), 1);
      if (std::isfinite(stamp)) when = stamp;
    }
    if (!when || *when < 0 || *when > 2958466) continue;  // no readable time
    row.when = *when;
    out.rows.push_back(std::move(row));
  }
  if (step != SQLITE_DONE) {
    out.rows.clear();
    out.read_error = sqlite3_errmsg(raw);
  }
  return out;
}

LogRead ReadSqlServer(const report::DatabaseChoice& choice) {
  LogRead out;
  Settings settings;
  settings.SQLServer_Host = choice.sqlserver_host;
  settings.SQLServer_DB = choice.sqlserver_db;
  settings.SQLServer_User = choice.sqlserver_user;
  settings.SQLServer_Passwort = choice.sqlserver_password;
  const RegionalSettings regional = RegionalSettings::German();
  const SystemClock clock;
  ProviderRegistry providers;
  RegisterOdbcProvider(providers);
  Database db(settings, regional, clock, providers);
  out.open_error = db.ConnectSQLServer();
  if (!out.open_error.empty()) return out;
  out.read_error = report::ReadLogRows(db, regional, out.rows);
  db.CloseDatabase();
  return out;
}

}  // namespace

LogRead ReadRunLog(const report::DatabaseChoice& choice) {
  if (!choice.sqlserver_host.empty()) return ReadSqlServer(choice);
  const std::string& path = choice.access_db;
  LogRead out;
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
    out.open_error = "Die Datenbankdatei '" + path + "' wurde nicht gefunden.";
    return out;
  }
  const Header header = ReadHeader(path);
  if (!header.sqlite) {
    out.open_error = "Die Datei '" + path + "' ist keine SQLite-Datenbank.";
    return out;
  }
  // A WAL file that no connection has open has no -wal file. Reading it the
  // usual way would create -wal and -shm, which a reader cannot remove; read
  // as immutable instead, and again the usual way should a writer have come
  // in meanwhile (it creates the -wal file before its first change).
  const std::string wal = path + "-wal";
  if (header.wal && !std::filesystem::exists(wal, ec)) {
    out = ReadSqlite(path, true);
    if (!std::filesystem::exists(wal, ec)) return out;
  }
  return ReadSqlite(path, false);
}

}  // namespace kb6
