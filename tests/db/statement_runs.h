// Running one statement on a real SQLite file and writing down everything a
// caller could see of it: column names, storage classes, exact values, the
// error and the number of changed rows. Two ways of running the same
// statement are the same when these texts are.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

namespace kb6::test {

struct SqliteCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteFile = std::unique_ptr<sqlite3, SqliteCloser>;

// Opens (and creates) a file for a test.
SqliteFile OpenTestFile(const std::string& path);

// Steps `st` to its end: rows as "name:type:value|" cells (reals by their
// bits), then the error, if any, and the changes.
std::string StepAndDescribe(sqlite3* db, sqlite3_stmt* st);

// The text as the provider ran it before shapes: prepared as it is, text
// after the first statement refused.
std::string RunAsText(sqlite3* db, const std::string& sql);

}  // namespace kb6::test
