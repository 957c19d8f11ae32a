#include "db/sqlite_provider.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string_view>

#include "common/dates.h"
#include "common/regional.h"
#include "common/text.h"
#include "db/sqlite_file.h"
#include "db/sqlite_functions.h"
#include "db/sqlite_handles.h"
#include "db/sqlite_prepared_statements.h"

namespace kb6 {
namespace {

using DbHandle = SqliteHandle;
using StmtHandle = SqliteStatement;

// How a column's values come back, from its declared type; the same for
// every row of a statement, and kept with it.
enum ColumnKind : unsigned char { kPlain, kDate, kBool };

ColumnKind KindOf(sqlite3_stmt* st, int i) {
  switch (SqliteColumnKindOf(sqlite3_column_decltype(st, i))) {
    case SqliteColumnKind::kDate:
      return kDate;
    case SqliteColumnKind::kBool:
      return kBool;
    default:
      return kPlain;
  }
}

// Names and kinds of the result columns as the statement stands now; SQLite
// counts each time it prepares a statement anew (another program changed the
// schema), and a description from before that is read again.
const ResultColumns& Describe(const PreparedStatement& kept) {
  ResultColumns& c = kept.columns();
  sqlite3_stmt* st = kept.get();
  const int reprepared = sqlite3_stmt_status(st, SQLITE_STMTSTATUS_REPREPARE, 0);
  if (c.reprepared == reprepared) return c;
  const int n = sqlite3_column_count(st);
  c.names.clear();
  c.kinds.clear();
  for (int i = 0; i < n; ++i) {
    c.names.emplace_back(sqlite3_column_name(st, i));
    c.kinds.push_back(KindOf(st, i));
  }
  c.reprepared = reprepared;
  return c;
}

Value ColumnValue(sqlite3_stmt* st, int i, unsigned char kind) {
  const int type = sqlite3_column_type(st, i);
  if (type == SQLITE_NULL) return Value::Null();
  if (kind == kDate) {
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
      // A number no date can have stays a number.
      const double serial = sqlite3_column_double(st, i);
      if (IsDateSerialInRange(serial)) return Value::Date(serial);
      return Value(serial);
    }
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    std::string s = text ? text : "";
    if (auto d = RegionalSettings::German().ParseDate(s)) return Value::Date(*d);
    return Value(std::move(s));
  }
  if (kind == kBool && (type == SQLITE_INTEGER || type == SQLITE_FLOAT))
    return Value(sqlite3_column_double(st, i) != 0);
  switch (type) {
    case SQLITE_INTEGER: {
      const sqlite3_int64 v = sqlite3_column_int64(st, i);
      if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max())
        return Value(static_cast<int32_t>(v));
      return Value(static_cast<double>(v));
    }
    case SQLITE_FLOAT:
      return Value(sqlite3_column_double(st, i));
    default: {
      const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
      return Value(std::string(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(st, i))));
    }
  }
}

class SqliteSession final : public ProviderSession {
 public:
  SqliteSession(DbHandle db, AccessStatementObserver observer)
      : db_(std::move(db)), observer_(std::move(observer)) {}

  int64_t Execute(const std::string& sql) override {
    // Reset when it goes, so that it holds no snapshot or lock between calls.
    const PreparedStatement kept = Prepare(sql);
    sqlite3_stmt* st = kept.get();
    if (!st) return 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) Fail();
    return sqlite3_changes64(db_.get());
  }

  void Query(const std::string& sql, RowSet& out) override {
    out.columns.clear();
    out.rows.clear();
    const PreparedStatement kept = Prepare(sql);
    sqlite3_stmt* st = kept.get();
    if (!st) return;
    int rc = sqlite3_step(st);
    // Described after the first step, which prepares the statement anew if
    // the schema changed since its last run.
    const ResultColumns& columns = Describe(kept);
    out.columns = columns.names;
    const size_t n = columns.kinds.size();
    for (; rc == SQLITE_ROW; rc = sqlite3_step(st)) {
      std::vector<Value>& row = out.rows.emplace_back();
      row.reserve(n);
      for (size_t i = 0; i < n; ++i)
        row.push_back(ColumnValue(st, static_cast<int>(i), columns.kinds[i]));
    }
    if (rc != SQLITE_DONE) Fail();
  }

 private:
  // A null statement for a text without one.
  PreparedStatement Prepare(const std::string& access_sql) {
    if (observer_) observer_(access_sql);
    return statements_.GetAccess(access_sql);
  }

  [[noreturn]] void Fail() { throw SqliteError(db_.get()); }

  // statements_ comes after db_, so its statements are finalized before the
  // connection closes.
  DbHandle db_;
  AccessStatementObserver observer_;
  PreparedStatements statements_{db_.get()};
};

std::string ErrorText(sqlite3* db, const std::string& path) {
  return SqliteFileCause(sqlite3_extended_errcode(db), sqlite3_errmsg(db), path,
                         "' kann nicht beschrieben werden: ");
}

// A club file has the table ADRESSEN.
void RequireClubTables(sqlite3* db, const std::string& path);

// A connection counts only when it is a club file and takes a write: the
// table ADRESSEN must be there, and a write transaction must begin (within
// the busy timeout) and change a page. The change is rolled back, so the
// file stays as it was; a journal that cannot be made (a folder that may
// not be written) or a lock held past the timeout show here, at the open,
// instead of failing each of the cycle's statements.
void RequireClubTables(sqlite3* db, const std::string& path) {
  bool club = false;
  {
    sqlite3_stmt* raw = nullptr;
    const char* sql =
        "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'ADRESSEN' COLLATE NOCASE";
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK)
      throw DbError{
          sqlite3_extended_errcode(db),
          "Die Datenbankdatei '" + path + "' kann nicht gelesen werden: " + sqlite3_errmsg(db)};
    StmtHandle st(raw);
    const int rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
      throw DbError{
          sqlite3_extended_errcode(db),
          "Die Datenbankdatei '" + path + "' kann nicht gelesen werden: " + sqlite3_errmsg(db)};
    club = rc == SQLITE_ROW;
  }
  if (!club)
    throw DbError{
        SQLITE_NOTFOUND,
        "Die Datei '" + path + "' ist keine Vereinsdatenbank (die Tabelle ADRESSEN fehlt)."};
}

void CheckClubFileWritable(sqlite3* db, const std::string& path) {
  RequireClubTables(db, path);
  if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    throw DbError{sqlite3_extended_errcode(db), ErrorText(db, path)};
  int32_t version = 0;
  bool written = sqlite3_exec(
                     db, "PRAGMA user_version",
                     [](void* out, int, char** values, char**) {
                       *static_cast<int32_t*>(out) = values[0] ? std::atoi(values[0]) : 0;
                       return 0;
                     },
                     &version, nullptr) == SQLITE_OK;
  // Writing the value it has still writes page 1 (and opens the journal).
  const std::string rewrite = "PRAGMA user_version = " + std::to_string(version);
  written = written && sqlite3_exec(db, rewrite.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  const DbError refused{sqlite3_extended_errcode(db), ErrorText(db, path)};
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  if (!written) throw refused;
}

std::string QuotedName(const std::string& name) { return SqliteQuoted(name, '"'); }

// Rows of a query on the schema, as texts; throws DbError.
std::vector<std::vector<std::string>> SchemaRows(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    throw DbError{sqlite3_extended_errcode(db), sqlite3_errmsg(db)};
  StmtHandle st(raw);
  std::vector<std::vector<std::string>> rows;
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
    std::vector<std::string>& row = rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(st.get()); ++i) {
      const unsigned char* t = sqlite3_column_text(st.get(), i);
      row.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
    }
  }
  if (rc != SQLITE_DONE) throw DbError{sqlite3_extended_errcode(db), sqlite3_errmsg(db)};
  return rows;
}

}  // namespace

void InstallJetStorageRules(sqlite3* db) {
  // TEMP triggers belong to this connection only: the file's schema stays as
  // it is, and every way a value gets into a column (INSERT ... VALUES,
  // INSERT ... SELECT, UPDATE with a join, expressions) is covered without
  // reading the statements. A trigger writes only when the stored value is
  // not yet what Jet would have stored, so values in the file's own form cost
  // one function call.
  const auto tables =
      SchemaRows(db,
                 "SELECT name FROM sqlite_master WHERE type = 'table' AND sql LIKE 'CREATE TABLE%' "
                 "AND sql NOT LIKE '%WITHOUT ROWID%' AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\'");
  std::string ddl;
  int n = 0;
  for (const auto& table_row : tables) {
    const std::string table = QuotedName(table_row[0]);
    std::string when, set;
    for (const auto& column : SchemaRows(db, "SELECT name, type FROM pragma_table_info(" +
                                                 SqliteQuoted(table_row[0], '\'') + ")")) {
      const SqliteColumnKind kind = SqliteColumnKindOf(column[1].c_str());
      const char* store = kind == SqliteColumnKind::kDate   ? "acc_store_date"
                          : kind == SqliteColumnKind::kBool ? "acc_store_bool"
                                                            : nullptr;
      if (!store) continue;
      const std::string name = QuotedName(column[0]);
      const std::string differs = std::string(store) + "(NEW." + name + ") IS NOT NEW." + name;
      when += (when.empty() ? "" : " OR ") + differs;
      set += (set.empty() ? "" : ", ") + name + " = " + store + "(" + name + ")";
      ddl += "CREATE TEMP TRIGGER kb6_jet_" + std::to_string(++n) + " AFTER UPDATE OF " + name +
             " ON " + table + " WHEN " + differs + " BEGIN UPDATE " + table + " SET " + name +
             " = " + store + "(NEW." + name + ") WHERE rowid = NEW.rowid; END;\n";
    }
    if (set.empty()) continue;
    ddl += "CREATE TEMP TRIGGER kb6_jet_" + std::to_string(++n) + " AFTER INSERT ON " + table +
           " WHEN " + when + " BEGIN UPDATE " + table + " SET " + set +
           " WHERE rowid = NEW.rowid; END;\n";
  }
  char* err = nullptr;
  if (sqlite3_exec(db, ddl.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "";
    sqlite3_free(err);
    throw DbError{sqlite3_extended_errcode(db), msg};
  }
}

void ConfigureSqliteConnection(sqlite3* db) {
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kSqliteBusyTimeoutMs);
  RegisterAccessFunctions(db);
  // The journal mode is the file's own and is left alone: switching it is a
  // lasting change that other programs on the file did not ask for. NORMAL
  // keeps every autocommitted statement cheap and, in WAL mode, still
  // durable against a crash of the process.
  for (const char* pragma : {"PRAGMA synchronous=NORMAL", "PRAGMA cache_size=-16384"}) {
    char* err = nullptr;
    if (sqlite3_exec(db, pragma, nullptr, nullptr, &err) != SQLITE_OK) {
      std::string msg = err ? err : "";
      sqlite3_free(err);
      throw DbError{sqlite3_extended_errcode(db), msg};
    }
  }
}

void ConfigureSqliteProcess() {
  // Memory statistics cost a global mutex on every allocation and nothing
  // reads them. The setting must precede SQLite's initialisation; in a
  // process that used SQLite before, it is refused, and nothing else changes.
  static const int memory_statistics_off = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
  (void)memory_statistics_off;
}

std::unique_ptr<ProviderSession> OpenSqliteSession(const std::string& path,
                                                   AccessStatementObserver observer,
                                                   SqliteAccess access) {
  ConfigureSqliteProcess();
  DbHandle db = OpenSqliteFile(path, access);
  if (access != SqliteAccess::kReadWrite) {
    // Reading only: no write probe, no lock, no storage rules.
    RegisterAccessFunctions(db.get());
    RequireClubTables(db.get(), path);
    return std::make_unique<SqliteSession>(std::move(db), std::move(observer));
  }
  try {
    ConfigureSqliteConnection(db.get());
  } catch (const DbError&) {
    throw DbError{sqlite3_extended_errcode(db.get()), ErrorText(db.get(), path)};
  }
  CheckClubFileWritable(db.get(), path);
  InstallJetStorageRules(db.get());
  return std::make_unique<SqliteSession>(std::move(db), std::move(observer));
}

void RegisterSqliteProvider(ProviderRegistry& registry) {
  registry.Register(kJetProviderName, [](const ConnectionAttributes& attrs) {
    // "Mode=Read" asks for a connection that only reads; "Immutable=True"
    // adds that nobody changes the file while it is open.
    const bool read = EqualsNoCase(attrs.Get("Mode"), "Read");
    const bool immutable = EqualsNoCase(attrs.Get("Immutable"), "True");
    return OpenSqliteSession(attrs.Get("Data Source"), nullptr,
                             immutable ? SqliteAccess::kImmutable
                             : read    ? SqliteAccess::kReadOnly
                                       : SqliteAccess::kReadWrite);
  });
}

}  // namespace kb6

static_assert(kb6::kSqliteOpenFlags == (SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX));
