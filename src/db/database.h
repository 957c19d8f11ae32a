// The database module: the one connection of the process for both back ends,
// recordsets, statement execution with the SQL Server rewrite, the record
// counter, and the INSERT builder with the literal formats. Database
// operations report failure by their result and never raise.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "common/clock.h"
#include "common/regional.h"
#include "common/settings.h"
#include "db/dialect.h"
#include "db/provider.h"

namespace kb6 {

// What ExecuteSQL answers for a statement that failed.
inline constexpr int32_t kExecuteFailed = -99;

// Statements that failed for a cause other than a missing table or column
// (which an older club file may lack): a full disk, a lock held past the busy
// timeout, a corrupt page, a trigger's abort, ...
struct StatementFailures {
  int32_t count = 0;
  std::string first_cause;  // the provider's description of the first
};

// Why an open with an empty AccessDatenbank fails.
inline constexpr const char* kNoDatabaseFile =
    "Es ist keine Datenbankdatei angegeben (AccessDatenbank ist leer).";

// The fixed password the Access file is protected with.
inline constexpr const char* kAccessPassword = ".keepclear-4";

class Database {
 public:
  Database(Settings& settings, const RegionalSettings& regional, const Clock& clock,
           const ProviderRegistry& providers);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  bool OpenDatabase();
  // Why the last OpenDatabase failed, in the provider's words; empty after
  // one that succeeded. For the host to show: the run log never gets it.
  const std::string& LastConnectError() const { return last_connect_error_; }
  void CloseDatabase();
  std::string ConnectAccess();
  std::string ConnectSQLServer();
  // For the commands that only read (--history): the embedded file is then
  // opened without write probe, lock or storage rules, so a read-only file
  // or mount serves; `immutable` adds that nobody changes it meanwhile.
  void SetReadOnly(bool read_only, bool immutable = false) {
    read_only_ = read_only;
    immutable_ = immutable;
  }

  // Empty on success, else the error text. For SQL Server the caller's
  // statement receives its rewritten form.
  std::string OpenRecordset(std::string& statement, Recordset& rs);
  // OpenRecordset that keeps its result in LastOpenError and answers whether
  // the recordset opened. The statement is taken over: pass it moved.
  bool TryOpenRecordset(std::string statement, Recordset& rs);
  static void CloseRecordset(Recordset& rs);

  // Rows affected, 0 for an empty statement, kExecuteFailed on failure.
  int32_t ExecuteSQL(std::string& statement, bool no_error_log);
  int32_t ExecuteSQL(const std::string& statement, bool no_error_log) {
    std::string s = statement;
    return ExecuteSQL(s, no_error_log);
  }
  // A statement built for the call is used as it is, without a copy.
  int32_t ExecuteSQL(std::string&& statement, bool no_error_log) {
    return ExecuteSQL(statement, no_error_log);
  }

  // The next key of table/field from SATZZAEHLER; 0 when it cannot be had.
  int32_t GetNextID(const std::string& table, const std::string& field);

  // Where ExecuteSQL's failures go when its no-error-log flag is false: the
  // run log fills this seam.
  void SetErrorLog(std::function<void(const std::string& description)> log) {
    error_log_ = std::move(log);
  }

  // The failures counted since the last call, which starts a new count.
  StatementFailures TakeFailures() { return std::exchange(failures_, {}); }
  void RestoreFailures(StatementFailures kept) { failures_ = std::move(kept); }

  const std::string& DbKind() const { return db_kind_; }
  bool IsAccess() const;
  // The form of the literals written for the current back end (SQL Server's
  // until a connection has been made).
  Dialect CurrentDialect() const { return IsAccess() ? Dialect::kAccess : Dialect::kSqlServer; }
  const std::string& AccessConnectionString() const { return access_connection_string_; }
  Connection* DbConnection() { return connection_.get(); }

  // The result of the last TryOpenRecordset: empty when it opened.
  std::string LastOpenError;

 private:
  Settings& settings_;
  const RegionalSettings& regional_;
  const Clock& clock_;
  const ProviderRegistry& providers_;
  std::unique_ptr<Connection> connection_;
  std::string db_kind_;
  std::string access_connection_string_;
  std::string last_connect_error_;
  bool read_only_ = false;
  bool immutable_ = false;
  std::function<void(const std::string&)> error_log_;
  StatementFailures failures_;
  void CountFailure(const std::exception& e);
  // The record counter's last time stamp as text: one draw after another
  // mostly falls into the same second, and formatting it is most of what a
  // draw costs outside the database.
  double counter_stamp_serial_ = -1;
  std::string counter_stamp_text_;
};

// Keeps the statements run in its lifetime out of the count of failures (the
// run log's own rows are no change of a job).
class UncountedStatements {
 public:
  explicit UncountedStatements(Database& db) : db_(db), kept_(db.TakeFailures()) {}
  ~UncountedStatements() { db_.RestoreFailures(std::move(kept_)); }
  UncountedStatements(const UncountedStatements&) = delete;
  UncountedStatements& operator=(const UncountedStatements&) = delete;

 private:
  Database& db_;
  StatementFailures kept_;
};

}  // namespace kb6
