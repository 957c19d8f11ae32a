// The embedded default: the provider named "Microsoft Jet 4.0 OLE DB Provider"
// opens an SQLite file (its "Data Source") and gives the Access-dialect
// statements their Access meaning. Storage conventions of the file:
// DATETIME columns hold REAL day serials from 30.12.1899, BOOLEAN columns
// -1/0, texts compare without case. Values come back typed by the declared
// column type.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "db/provider.h"

struct sqlite3;

namespace kb6 {

inline constexpr const char* kJetProviderName = "Microsoft Jet 4.0 OLE DB Provider";

// A connection is used by one thread at a time, so SQLite's own connection
// mutex is not needed.
inline constexpr int kSqliteOpenFlags =
    0x00000002 /* SQLITE_OPEN_READWRITE */ | 0x00008000 /* SQLITE_OPEN_NOMUTEX */;

// How a club file is opened.
enum class SqliteAccess {
  // The file is changed (the monitor's session, --fix).
  kReadWrite,
  // SQLITE_OPEN_READONLY: nothing is written and nothing is made beside the
  // file; a WAL file that no program has open (no -wal file) is read as
  // immutable, which serves a read-only mount as well.
  kReadOnly,
  // Read as a file nobody changes: no locks, no -wal/-shm, no change detection.
  kImmutable,
};

// Sees every statement as the provider receives it, in the Access dialect.
using AccessStatementObserver = std::function<void(const std::string& access_sql)>;

// Process-wide SQLite settings; effective only before SQLite's first use, so
// tools that use SQLite themselves call it first. Opening a session calls it.
void ConfigureSqliteProcess();

// Opens an existing club file (never creates one); throws DbError naming the
// cause when the file is missing, is no SQLite database, lacks the table
// ADRESSEN, may not be written, or stays locked past the busy timeout. A file
// that cannot be opened is left as it was, with no -wal, -shm or -journal
// file beside it. With `access` kReadOnly or kImmutable the session only
// reads: no write probe, no lock, no storage rules; the file may be read-only
// or on a read-only mount.
std::unique_ptr<ProviderSession> OpenSqliteSession(const std::string& path,
                                                   AccessStatementObserver observer = nullptr,
                                                   SqliteAccess access = SqliteAccess::kReadWrite);

// The connection settings every session uses: busy timeout, synchronous, the
// Access functions; the file's journal mode stays as it is. Shared with tools that open the file
// directly.
void ConfigureSqliteConnection(sqlite3* db);

// Jet's storage rules for this connection: a text that reads as a date,
// assigned by INSERT or UPDATE to a column declared DATETIME (any DATE or
// TIME type), is stored as its day serial; a non-zero number or TRUE
// assigned to a BOOLEAN column as -1, zero or FALSE as 0. Opening a session
// calls it; throws DbError.
void InstallJetStorageRules(sqlite3* db);

void RegisterSqliteProvider(ProviderRegistry& registry);

}  // namespace kb6
