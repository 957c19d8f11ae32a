// What the check knows of a file's tables: their columns with the declared
// type, the key its examples are named by, and the rows of one column that
// meet a condition.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace kb6::check {

enum class ColumnKind { kOther, kDate, kYesNo, kAmount };

struct ColumnInfo {
  std::string name;
  ColumnKind kind = ColumnKind::kOther;
};

struct TableInfo {
  std::string name;
  std::vector<ColumnInfo> columns;
  std::string key_sql;   // an expression naming a row
  std::string key_name;  // how the examples are headed
  bool has_rowid = true;
  bool Has(const std::string& column) const;
};

std::vector<TableInfo> ReadTables(sqlite3* db);
// Case-insensitive look-up, as SQL names are; null when absent.
const TableInfo* Find(const std::vector<TableInfo>& tables, const std::string& name);

struct Hit {
  std::string key;
  sqlite3_int64 rowid = 0;
  int type = SQLITE_NULL;
  std::string text;  // the value as text
  double number = 0;
};

// The rows of `table` where `condition` (SQL on the column `column`) holds.
std::vector<Hit> Scan(sqlite3* db, const TableInfo& table, const std::string& column,
                      const std::string& condition);

}  // namespace kb6::check
