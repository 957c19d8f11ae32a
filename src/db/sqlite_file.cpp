#include "db/sqlite_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "common/text.h"
#include "common/utf8_path.h"

namespace kb6 {
namespace {

bool Contains(const char* haystack, const char* needle) {
  return haystack && FindNoCase(haystack, needle) != std::string_view::npos;
}

struct Header {
  bool sqlite = false;
  bool wal = false;  // the file is in WAL mode (format versions 2)
};

Header ReadHeader(const std::string& path) {
  static constexpr char kMagic[] = "SQLite format 3";  // with its NUL: 16 bytes
  char head[20] = {};
  std::ifstream in(PathFromUtf8(path), std::ios::binary);
  Header h;
  if (!in.read(head, sizeof head)) return h;
  h.sqlite = std::memcmp(head, kMagic, sizeof kMagic) == 0;
  h.wal = head[18] == 2 && head[19] == 2;
  return h;
}

// "file:" URI of `path` for the immutable flag; '%', '?' and '#' escaped.
std::string FileUri(const std::string& path) {
  std::string uri = "file:";
  for (char c : path) {
    if (c == '%' || c == '?' || c == '#') {
      static constexpr char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[static_cast<unsigned char>(c) >> 4];
      uri += kHex[static_cast<unsigned char>(c) & 15];
    } else {
      uri += c;
    }
  }
  return uri + "?immutable=1";
}

}  // namespace

std::string SqliteFileCause(int code, const std::string& message, const std::string& path,
                            const std::string& otherwise) {
  const std::string file = "Die Datenbankdatei '" + path;
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return file + "' ist gesperrt: " + message;
    case SQLITE_READONLY:
      if (code == SQLITE_READONLY_DIRECTORY)
        return "Der Ordner der Datenbankdatei '" + path + "' ist schreibgeschützt.";
      return file + "' ist schreibgeschützt: " + message;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return file + "' ist beschädigt: " + message;
    default:
      return file + otherwise + message;
  }
}

bool SqliteFileIsWal(const std::string& path) { return ReadHeader(path).wal; }

SqliteColumnKind SqliteColumnKindOf(const char* declared_type) {
  if (Contains(declared_type, "DATE") || Contains(declared_type, "TIME"))
    return SqliteColumnKind::kDate;
  if (Contains(declared_type, "BOOL")) return SqliteColumnKind::kBool;
  return SqliteColumnKind::kPlain;
}

std::string SqliteQuoted(const std::string& name, char quote) {
  std::string out(1, quote);
  for (char c : name) {
    if (c == quote) out += quote;
    out += c;
  }
  return out + quote;
}

SqliteHandle OpenSqliteFile(const std::string& path, SqliteAccess access) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(PathFromUtf8(path), ec))
    throw DbError{SQLITE_CANTOPEN, "Die Datenbankdatei '" + path + "' wurde nicht gefunden."};
  // SQLite would take an empty or foreign file for a new database and write
  // a header into it at the first change.
  const Header header = ReadHeader(path);
  if (!header.sqlite)
    throw DbError{SQLITE_NOTADB, "Die Datei '" + path + "' ist keine SQLite-Datenbank."};
  // A reader of a WAL file makes -wal and -shm files beside it (and cannot
  // on a read-only mount). Without a -wal file no connection has the file
  // open, and everything is in the file itself: it is then read as it is.
  const bool immutable = access == SqliteAccess::kImmutable ||
                         (access == SqliteAccess::kReadOnly && header.wal &&
                          !std::filesystem::exists(PathFromUtf8(path + "-wal"), ec));
  const int flags =
      (access == SqliteAccess::kReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
      SQLITE_OPEN_NOMUTEX | (immutable ? SQLITE_OPEN_URI : 0);
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(immutable ? FileUri(path).c_str() : path.c_str(), &raw, flags, nullptr);
  SqliteHandle db(raw);
  if (rc != SQLITE_OK)
    throw DbError{rc, "Die Datenbankdatei '" + path + "' kann nicht geöffnet werden: " +
                          (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc))};
  // A file this process may not write is opened read-only by SQLite without
  // an error. Decided here, before the first read: reading a WAL file would
  // create -wal and -shm files that this process could not remove again.
  if (access == SqliteAccess::kReadWrite && sqlite3_db_readonly(raw, "main") != 0)
    throw DbError{SQLITE_READONLY, "Die Datenbankdatei '" + path + "' ist schreibgeschützt."};
  sqlite3_extended_result_codes(raw, 1);
  sqlite3_busy_timeout(raw, kSqliteBusyTimeoutMs);
  // The first read tells a damaged or locked file apart, with its real cause.
  try {
    SqliteExec(raw, "SELECT COUNT(*) FROM sqlite_master");
  } catch (const DbError& e) {
    throw DbError{e.number(),
                  SqliteFileCause(e.number(), e.what(), path, "' kann nicht gelesen werden: ")};
  }
  return db;
}

SqliteQuery::SqliteQuery(sqlite3* db, const std::string& sql) : db_(db) {
  sqlite3_stmt* raw = nullptr;
  const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr);
  st_.reset(raw);
  Check(rc);
}

void SqliteQuery::Check(int rc) const {
  if (rc != SQLITE_OK) throw DbError{sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)};
}

bool SqliteQuery::Step() {
  const int rc = sqlite3_step(st_.get());
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw DbError{sqlite3_extended_errcode(db_), sqlite3_errmsg(db_)};
}

std::string SqliteQuery::Text(int col) const {
  const unsigned char* t = sqlite3_column_text(st_.get(), col);
  return t ? std::string(reinterpret_cast<const char*>(t),
                         static_cast<size_t>(sqlite3_column_bytes(st_.get(), col)))
           : std::string();
}

void SqliteQuery::BindDouble(int index, double v) {
  Check(sqlite3_bind_double(st_.get(), index, v));
}
void SqliteQuery::BindInt(int index, sqlite3_int64 v) {
  Check(sqlite3_bind_int64(st_.get(), index, v));
}
void SqliteQuery::BindNull(int index) { Check(sqlite3_bind_null(st_.get(), index)); }

void SqliteExec(sqlite3* db, const std::string& sql) {
  SqliteQuery q(db, sql);
  while (q.Step()) {
  }
}

}  // namespace kb6
