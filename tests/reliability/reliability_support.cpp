#include "reliability/reliability_support.h"

#include <algorithm>
#include <filesystem>
#include <regex>

#include "test_support.h"

namespace kb6::test {

std::vector<std::string> TableNames(const std::string& db_path) {
  RawDb db(db_path);
  return db.Column("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
}

std::vector<std::string> TableRows(const std::string& db_path, const std::string& table,
                                   const std::set<std::string>& skip) {
  RawDb db(db_path);
  std::string select;
  for (const auto& c : db.Column("SELECT name FROM pragma_table_info('" + table + "')")) {
    if (skip.count(c)) continue;
    select += (select.empty() ? "" : " || '|' || ") + std::string("quote(\"") + c + "\")";
  }
  auto rows = db.Column("SELECT " + select + " FROM \"" + table + "\"");
  std::sort(rows.begin(), rows.end());
  return rows;
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

}  // namespace kb6::test
