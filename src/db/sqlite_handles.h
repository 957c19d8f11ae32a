// Owning handles of a SQLite connection and a prepared statement, for the
// provider and the tools that write club files.
#pragma once

#include <sqlite3.h>

#include <cstring>
#include <memory>

#include "db/provider.h"

namespace kb6 {

struct SqliteCloser {
  // close_v2: a statement still open keeps the connection until it is finalized.
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct SqliteFinalizer {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using SqliteHandle = std::unique_ptr<sqlite3, SqliteCloser>;
using SqliteStatement = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// The connection's last failure as DbError; SQLite names a missing table or
// column only in its message.
inline DbError SqliteError(sqlite3* db) {
  const char* message = sqlite3_errmsg(db);
  const bool missing = std::strncmp(message, "no such table", 13) == 0 ||
                       std::strncmp(message, "no such column", 14) == 0;
  return DbError{sqlite3_extended_errcode(db), message, missing};
}

}  // namespace kb6
