// Owning handles of a SQLite connection and a prepared statement, for the
// provider and the tools that write club files.
#pragma once

#include <sqlite3.h>

#include <memory>

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

}  // namespace kb6
