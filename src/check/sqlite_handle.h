// Owned SQLite handles for the file check: a connection closed on every path
// and statements that finalize themselves. Failures throw CheckError.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace kb6::check {

struct CheckError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct CloseDb {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, CloseDb>;

// Opens an existing file; `writable` false opens it read-only, so nothing
// can be written through the connection whatever runs on it.
DbHandle OpenClubFile(const std::string& path, bool writable);

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql);
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Step();  // true while a row is there
  std::string Text(int col) const;
  int Type(int col) const { return sqlite3_column_type(stmt_, col); }
  double Double(int col) const { return sqlite3_column_double(stmt_, col); }
  sqlite3_int64 Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  void BindDouble(int index, double v) { sqlite3_bind_double(stmt_, index, v); }
  void BindInt(int index, sqlite3_int64 v) { sqlite3_bind_int64(stmt_, index, v); }
  void BindText(int index, const std::string& v) {
    sqlite3_bind_text(stmt_, index, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Reset() { sqlite3_reset(stmt_); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

void Exec(sqlite3* db, const std::string& sql);

// An identifier in double quotes, inner quotes doubled.
std::string Quoted(const std::string& name);

}  // namespace kb6::check
