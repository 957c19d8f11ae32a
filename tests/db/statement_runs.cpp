#include "statement_runs.h"

#include <cstring>

namespace kb6::test {

SqliteFile OpenTestFile(const std::string& path) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  return SqliteFile(raw);
}

std::string StepAndDescribe(sqlite3* db, sqlite3_stmt* st) {
  std::string out;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      out += sqlite3_column_name(st, i);
      out += ':' + std::to_string(sqlite3_column_type(st, i)) + ':';
      if (sqlite3_column_type(st, i) == SQLITE_FLOAT) {
        const double d = sqlite3_column_double(st, i);
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        out += std::to_string(bits);
      } else if (const unsigned char* t = sqlite3_column_text(st, i)) {
        out.append(reinterpret_cast<const char*>(t),
                   static_cast<size_t>(sqlite3_column_bytes(st, i)));
      }
      out += '|';
    }
    out += '\n';
  }
  if (rc != SQLITE_DONE) out += std::string("error ") + sqlite3_errmsg(db);
  return out + "changes " + std::to_string(sqlite3_changes(db));
}

std::string RunAsText(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* st = nullptr;
  const char* tail = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, &tail) != SQLITE_OK)
    return std::string("error ") + sqlite3_errmsg(db);
  if (tail && std::string(tail).find_first_not_of(" ;") != std::string::npos) {
    sqlite3_finalize(st);
    return "error Zeichen nach dem Ende der SQL-Anweisung gefunden.";
  }
  std::string out = StepAndDescribe(db, st);
  sqlite3_finalize(st);
  return out;
}

}  // namespace kb6::test
