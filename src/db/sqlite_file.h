// Opening a club file and reading it directly, for the provider and for the
// tools (--check, --fix, --history): one place for how a file is opened, how
// names are quoted, how a declared column type is read, and one error type
// (DbError).
#pragma once

#include <sqlite3.h>

#include <string>

#include "db/provider.h"
#include "db/sqlite_handles.h"
#include "db/sqlite_provider.h"

namespace kb6 {

// How a declared column type reads: a type containing DATE or TIME holds
// dates, one containing BOOL Yes/No values (-1/0); everything else is plain.
enum class SqliteColumnKind { kPlain, kDate, kBool };
SqliteColumnKind SqliteColumnKindOf(const char* declared_type);

// `name` between `quote`s, inner ones doubled: "name" for an identifier,
// 'name' for a text (SQLite built without double-quoted texts, as the Windows
// build is, reads a double-quoted argument as a column name).
std::string SqliteQuoted(const std::string& name, char quote = '"');

// Opens an existing SQLite file (never creates one) with the busy timeout and
// extended result codes set, and reads its schema once; throws DbError with
// a German cause when the file is missing, is no SQLite database, or cannot
// be opened or read.
SqliteHandle OpenSqliteFile(const std::string& path, SqliteAccess access);

// The busy timeout every connection to a club file uses.
inline constexpr int kSqliteBusyTimeoutMs = 5000;

// The cause of a failed operation on the club file `path` in German, told by
// SQLite's (extended) result code: locked, read-only (file or folder),
// damaged; any other code gives "Die Datenbankdatei '<path>" + otherwise +
// message.
std::string SqliteFileCause(int code, const std::string& message, const std::string& path,
                            const std::string& otherwise);

// True when the file at `path` is in WAL mode by its header (a connection
// that reads it as immutable reports "delete" for PRAGMA journal_mode).
bool SqliteFileIsWal(const std::string& path);

// A statement that finalizes itself; failures throw DbError with SQLite's
// message.
class SqliteQuery {
 public:
  SqliteQuery(sqlite3* db, const std::string& sql);
  bool Step();  // true while a row is there
  std::string Text(int col) const;
  int Type(int col) const { return sqlite3_column_type(st_.get(), col); }
  double Double(int col) const { return sqlite3_column_double(st_.get(), col); }
  sqlite3_int64 Int(int col) const { return sqlite3_column_int64(st_.get(), col); }
  void BindDouble(int index, double v);
  void BindInt(int index, sqlite3_int64 v);
  void BindNull(int index);
  void Reset() { sqlite3_reset(st_.get()); }

 private:
  void Check(int rc) const;
  sqlite3* db_;
  SqliteStatement st_;
};

// Runs `sql` to its end; throws DbError.
void SqliteExec(sqlite3* db, const std::string& sql);

}  // namespace kb6
