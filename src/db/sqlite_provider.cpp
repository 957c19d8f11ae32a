#include "db/sqlite_provider.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>

#include "common/dates.h"
#include "common/regional.h"
#include "common/text.h"
#include "db/access_dialect.h"
#include "db/prepared_statements.h"
#include "db/sqlite_functions.h"
#include "db/sqlite_handles.h"

namespace kb6 {
namespace {

using DbHandle = SqliteHandle;

constexpr int kBusyTimeoutMs = 5000;

bool ContainsNoCase(const char* haystack, const char* needle) {
  return haystack && FindNoCase(haystack, needle) != std::string_view::npos;
}

// How a column's values come back, from its declared type; the same for
// every row of a statement, so it is worked out once per query.
enum class ColumnKind { kPlain, kDate, kBool };

ColumnKind KindOf(sqlite3_stmt* st, int i) {
  const char* decl = sqlite3_column_decltype(st, i);
  if (ContainsNoCase(decl, "DATE") || ContainsNoCase(decl, "TIME")) return ColumnKind::kDate;
  if (ContainsNoCase(decl, "BOOL")) return ColumnKind::kBool;
  return ColumnKind::kPlain;
}

Value ColumnValue(sqlite3_stmt* st, int i, ColumnKind kind) {
  const int type = sqlite3_column_type(st, i);
  if (type == SQLITE_NULL) return Value::Null();
  if (kind == ColumnKind::kDate) {
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
  if (kind == ColumnKind::kBool && (type == SQLITE_INTEGER || type == SQLITE_FLOAT))
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

// Returns a kept statement to its initial state when a call is done with
// it, so that it holds no read snapshot or lock between calls.
struct ResetOnExit {
  sqlite3_stmt* st;
  ~ResetOnExit() { PreparedStatements::Release(st); }
};

class SqliteSession final : public ProviderSession {
 public:
  SqliteSession(DbHandle db, SqliteStatementObserver observer)
      : db_(std::move(db)), observer_(std::move(observer)) {}

  int64_t Execute(const std::string& sql) override {
    sqlite3_stmt* st = Prepare(sql);
    ResetOnExit reset{st};
    if (!st) return 0;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) Fail();
    return sqlite3_changes64(db_.get());
  }

  RowSet Query(const std::string& sql) override {
    sqlite3_stmt* st = Prepare(sql);
    ResetOnExit reset{st};
    RowSet out;
    if (!st) return out;
    const int n = sqlite3_column_count(st);
    std::vector<ColumnKind> kinds;
    kinds.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      out.columns.emplace_back(sqlite3_column_name(st, i));
      kinds.push_back(KindOf(st, i));
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      std::vector<Value> row;
      row.reserve(static_cast<size_t>(n));
      for (int i = 0; i < n; ++i) row.push_back(ColumnValue(st, i, kinds[static_cast<size_t>(i)]));
      out.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) Fail();
    return out;
  }

 private:
  // Null for a text without a statement.
  sqlite3_stmt* Prepare(const std::string& access_sql) {
    std::string sql = TranslateAccessToSqlite(access_sql);
    if (observer_) observer_(sql);
    return statements_.Get(std::move(sql));
  }

  [[noreturn]] void Fail() {
    throw DbError{sqlite3_extended_errcode(db_.get()), sqlite3_errmsg(db_.get())};
  }

  // statements_ comes after db_, so its statements are finalized before the
  // connection closes.
  DbHandle db_;
  SqliteStatementObserver observer_;
  PreparedStatements statements_{db_.get()};
};

}  // namespace

void ConfigureSqliteConnection(sqlite3* db) {
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  RegisterAccessFunctions(db);
  // WAL lets the host application read and write the file while the monitor
  // works; NORMAL keeps every autocommitted statement cheap and still durable
  // against a crash of the process.
  for (const char* pragma :
       {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL", "PRAGMA cache_size=-16384"}) {
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
                                                   SqliteStatementObserver observer) {
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(path, ec))
    throw DbError{SQLITE_CANTOPEN, "Die Datenbankdatei '" + path + "' wurde nicht gefunden."};
  ConfigureSqliteProcess();
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, kSqliteOpenFlags, nullptr);
  DbHandle db(raw);
  if (rc != SQLITE_OK)
    throw DbError{rc, std::string("Die Datenbankdatei '") + path +
                          "' kann nicht geöffnet werden: " +
                          (raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc))};
  ConfigureSqliteConnection(db.get());
  return std::make_unique<SqliteSession>(std::move(db), std::move(observer));
}

void RegisterSqliteProvider(ProviderRegistry& registry) {
  registry.Register(kJetProviderName, [](const ConnectionAttributes& attrs) {
    return OpenSqliteSession(attrs.Get("Data Source"));
  });
}

}  // namespace kb6

static_assert(kb6::kSqliteOpenFlags == (SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX));
