#include "check/club_tables.h"

#include "common/text.h"
#include "db/sqlite_file.h"

namespace kb6::check {
namespace {

// Dates and Yes/No values as the monitor's provider reads and stores them;
// amounts by the floating-point types the club schema declares them with.
ColumnKind KindOf(const std::string& declared) {
  switch (SqliteColumnKindOf(declared.c_str())) {
    case SqliteColumnKind::kDate:
      return ColumnKind::kDate;
    case SqliteColumnKind::kBool:
      return ColumnKind::kYesNo;
    default:
      break;
  }
  const std::string t = ToUpperAscii(TrimBlanks(declared));
  if (t == "REAL" || t == "DOUBLE" || t == "FLOAT" || t == "CURRENCY") return ColumnKind::kAmount;
  return ColumnKind::kOther;
}

// Tables without an INTEGER PRIMARY KEY are named by the columns the
// programs look them up by.
struct KnownKey {
  const char* table;
  const char* sql;
  const char* name;
};
constexpr KnownKey kKnownKeys[] = {
    {"PARAMETER", "FELD", "FELD"},
    {"SATZZAEHLER", "TABELLE || '.' || FELD", "TABELLE.FELD"},
    {"tblALLGReorganisationProtokoll", "reoID", "reoID"},
    {"tblMVAbteilungsuebersicht", "uebID", "uebID"},
};

}  // namespace

bool TableInfo::Has(const std::string& column) const {
  for (const ColumnInfo& c : columns)
    if (EqualsNoCase(c.name, column)) return true;
  return false;
}

const TableInfo* Find(const std::vector<TableInfo>& tables, const std::string& name) {
  for (const TableInfo& t : tables)
    if (EqualsNoCase(t.name, name)) return &t;
  return nullptr;
}

std::vector<TableInfo> ReadTables(sqlite3* db) {
  std::vector<TableInfo> tables;
  SqliteQuery names(db,
                    "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                    "'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
  while (names.Step()) {
    TableInfo t;
    t.name = names.Text(0);
    t.has_rowid = FindNoCase(names.Text(1), "WITHOUT ROWID") == std::string::npos;
    std::vector<std::string> pk;
    SqliteQuery cols(db, "PRAGMA table_info(" + SqliteQuoted(t.name) + ")");
    while (cols.Step()) {
      t.columns.push_back({cols.Text(1), KindOf(cols.Text(2))});
      if (cols.Int(5) > 0) pk.push_back(cols.Text(1));
    }
    if (pk.size() == 1) {
      t.key_sql = SqliteQuoted(pk.front());
      t.key_name = pk.front();
    }
    for (const KnownKey& k : kKnownKeys) {
      if (t.key_sql.empty() && EqualsNoCase(t.name, k.table)) {
        t.key_sql = k.sql;
        t.key_name = k.name;
      }
    }
    if (t.key_sql.empty()) {
      t.key_sql = "rowid";
      t.key_name = "rowid";
    }
    tables.push_back(std::move(t));
  }
  return tables;
}

std::vector<Hit> Scan(sqlite3* db, const TableInfo& table, const std::string& column,
                      const std::string& condition) {
  const std::string col = SqliteQuoted(column);
  SqliteQuery s(db, "SELECT " + table.key_sql + ", " + (table.has_rowid ? "rowid" : "0") + ", " +
                        col + " FROM " + SqliteQuoted(table.name) + " WHERE " + condition +
                        " ORDER BY " + (table.has_rowid ? "rowid" : table.key_sql));
  std::vector<Hit> hits;
  while (s.Step()) {
    Hit h;
    h.key = s.Type(0) == SQLITE_NULL ? "Null" : s.Text(0);
    h.rowid = s.Int(1);
    h.type = s.Type(2);
    h.text = s.Text(2);
    h.number = s.Double(2);
    hits.push_back(std::move(h));
  }
  return hits;
}

}  // namespace kb6::check
