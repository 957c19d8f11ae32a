#include "reliability/reliability_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "test_support.h"

namespace kb6::test {

std::vector<std::string> ColumnNames(const std::string& db_path, const std::string& table) {
  RawDb db(db_path);
  return db.Column("SELECT name FROM pragma_table_info('" + table + "') ORDER BY cid");
}

std::vector<std::string> TableNames(const std::string& db_path) {
  RawDb db(db_path);
  return db.Column("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
}

std::vector<std::string> TableRows(const std::string& db_path, const std::string& table,
                                   const std::set<std::string>& skip) {
  std::string select;
  for (const auto& c : ColumnNames(db_path, table)) {
    if (skip.count(c)) continue;
    select += (select.empty() ? "" : " || '|' || ") + std::string("quote(\"") + c + "\")";
  }
  RawDb db(db_path);
  auto rows = db.Column("SELECT " + select + " FROM \"" + table + "\"");
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::string IntegrityCheck(const std::string& db_path) {
  RawDb db(db_path);
  return db.One("PRAGMA integrity_check");
}

void ResetDueStamps(const std::string& db_path) {
  RawDb db(db_path);
  db.Exec(
      "DELETE FROM PARAMETER WHERE FELD IN ('AUFGABENTRAY1', 'AUFGABENTRAY7', "
      "'AUFGABENTRAY14')");
}

std::string LogText(const std::string& data_dir) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(data_dir + "/Logfiles", ec))
    files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::string text;
  for (const auto& f : files) text += ReadFile(f.string());
  return text;
}

std::string FirstBrokenLogLine(const std::string& log_text) {
  static const std::regex kLine(R"(\d\d:\d\d:\d\d [^\r\n]+)");
  size_t start = 0;
  while (start < log_text.size()) {
    const size_t end = log_text.find("\r\n", start);
    if (end == std::string::npos) return log_text.substr(start);  // no line end: torn
    const std::string line = log_text.substr(start, end - start);
    if (!std::regex_match(line, kLine)) return line;
    start = end + 2;
  }
  return "";
}

void ExpectSameDerivedData(const std::string& expected_db, const std::string& actual_db) {
  const std::set<std::string> ignored = {"SATZZAEHLER", "tblALLGReorganisationProtokoll"};
  auto present = [&](const std::string& path) {
    std::vector<std::string> names;
    for (const auto& t : TableNames(path))
      if (!ignored.count(t)) names.push_back(t);
    return names;
  };
  const auto tables = present(expected_db);
  EXPECT_EQ(tables, present(actual_db));
  for (const auto& table : tables) {
    std::set<std::string> columns;
    if (table == "PARAMETER") columns.insert("ID");
    if (table == "tblMVAbteilungsuebersicht") columns.insert("uebID");
    const auto want = TableRows(expected_db, table, columns);
    const auto got = TableRows(actual_db, table, columns);
    EXPECT_EQ(want.size(), got.size()) << table;
    auto [w, g] = std::mismatch(want.begin(), want.end(), got.begin(), got.end());
    if (w != want.end() || g != got.end())
      ADD_FAILURE() << table
                    << " differs first at\n  expected: " << (w != want.end() ? *w : "<end>")
                    << "\n  actual:   " << (g != got.end() ? *g : "<end>");
  }
}

}  // namespace kb6::test
