#include "check/sqlite_handle.h"

namespace kb6::check {

DbHandle OpenClubFile(const std::string& path, bool writable) {
  sqlite3* raw = nullptr;
  const int flags = writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  DbHandle db(raw);
  if (rc != SQLITE_OK) throw CheckError(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
  sqlite3_busy_timeout(raw, 5000);
  // The first read tells a file that is no database apart.
  Exec(raw, "SELECT COUNT(*) FROM sqlite_master");
  return db;
}

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db) {
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
    throw CheckError(sqlite3_errmsg(db));
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  throw CheckError(sqlite3_errmsg(db_));
}

std::string Statement::Text(int col) const {
  const unsigned char* t = sqlite3_column_text(stmt_, col);
  return t ? std::string(reinterpret_cast<const char*>(t),
                         static_cast<size_t>(sqlite3_column_bytes(stmt_, col)))
           : std::string();
}

void Exec(sqlite3* db, const std::string& sql) {
  Statement s(db, sql);
  while (s.Step()) {
  }
}

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace kb6::check
