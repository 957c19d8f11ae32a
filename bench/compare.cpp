#include "compare.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <vector>

#include "db/sqlite_handles.h"

namespace kb6 {
namespace {

using DbHandle = SqliteHandle;
using StmtHandle = SqliteStatement;

DbHandle OpenReadOnly(const std::string& path) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
  return DbHandle(raw);
}

StmtHandle Prepare(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr);
  return StmtHandle(st);
}

bool SameValue(sqlite3_stmt* a, sqlite3_stmt* b, int i) {
  const int type = sqlite3_column_type(a, i);
  if (type != sqlite3_column_type(b, i)) return false;
  switch (type) {
    case SQLITE_NULL:
      return true;
    case SQLITE_INTEGER:
      return sqlite3_column_int64(a, i) == sqlite3_column_int64(b, i);
    case SQLITE_FLOAT: {
      const double x = sqlite3_column_double(a, i), y = sqlite3_column_double(b, i);
      return std::memcmp(&x, &y, sizeof x) == 0;
    }
    default: {
      const void* x = type == SQLITE_BLOB ? sqlite3_column_blob(a, i) : sqlite3_column_text(a, i);
      const void* y = type == SQLITE_BLOB ? sqlite3_column_blob(b, i) : sqlite3_column_text(b, i);
      const int n = sqlite3_column_bytes(a, i);
      return n == sqlite3_column_bytes(b, i) && (n == 0 || std::memcmp(x, y, n) == 0);
    }
  }
}

// Compares the rows two statements yield, in order.
std::string CompareRows(sqlite3_stmt* a, sqlite3_stmt* b, const std::string& what) {
  if (!a || !b) return what + ": cannot be read";
  const int n = sqlite3_column_count(a);
  if (n != sqlite3_column_count(b)) return what + ": different columns";
  for (long row = 0;; ++row) {
    const int ra = sqlite3_step(a), rb = sqlite3_step(b);
    if (ra != rb) return what + ": different row counts at row " + std::to_string(row);
    if (ra != SQLITE_ROW) return ra == SQLITE_DONE ? "" : what + ": read error";
    for (int i = 0; i < n; ++i)
      if (!SameValue(a, b, i))
        return what + ": row " + std::to_string(row) + ", column " + sqlite3_column_name(a, i);
  }
}

}  // namespace

std::string CompareDatabases(const std::string& a_path, const std::string& b_path) {
  DbHandle a = OpenReadOnly(a_path), b = OpenReadOnly(b_path);
  if (!a || !b) return "cannot open";
  const std::string schema =
      "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name";
  StmtHandle sa = Prepare(a.get(), schema), sb = Prepare(b.get(), schema);
  if (std::string diff = CompareRows(sa.get(), sb.get(), "schema"); !diff.empty()) return diff;
  StmtHandle tables =
      Prepare(a.get(), "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name");
  std::vector<std::string> names;
  while (tables && sqlite3_step(tables.get()) == SQLITE_ROW)
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(tables.get(), 0)));
  for (const std::string& name : names) {
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    quoted += '"';
    std::string sql = "SELECT rowid, * FROM " + quoted + " ORDER BY rowid";
    StmtHandle ta = Prepare(a.get(), sql);
    if (!ta) sql = "SELECT * FROM " + quoted + " ORDER BY 1";  // WITHOUT ROWID
    ta = Prepare(a.get(), sql);
    StmtHandle tb = Prepare(b.get(), sql);
    if (std::string diff = CompareRows(ta.get(), tb.get(), name); !diff.empty()) return diff;
  }
  return "";
}

}  // namespace kb6
