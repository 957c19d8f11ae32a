// Whether decimals may be bound as doubles on a connection: SQLite's own
// reading of a decimal in a statement's text has changed between versions,
// and a bound double must store what the text would.
#pragma once

struct sqlite3;

namespace kb6 {

// True when this SQLite reads each decimal of a fixed set of hard cases
// (the nearest to a rounding boundary of a large sample of amounts) as the
// very double BindableNumber binds for it. Decimals are bound on a
// connection only then; elsewhere they stay in the statement's text, where
// SQLite reads them itself, and a newer SQLite cannot change a stored amount.
bool SqliteReadsDecimalsAsBound(sqlite3* db);

}  // namespace kb6
