// The INSERT builder with any value and type: the value list grows by exactly
// one literal of the column's kind, or the statement stays as it was.
#include <regex>

#include "db/literals.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const kb6::RegionalSettings regional = kb6::RegionalSettings::German();
  static const char* const kTypes[] = {"A", "N", "D", "DT", "T", "M", "X"};
  static const std::regex kText("'[^']*'");
  static const std::regex kNumber(R"(\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*)");
  static const std::regex kAccessDate(R"(#\d{1,2}-\d{1,2}-\d{4}( \d\d:\d\d)?#)");
  static const std::regex kServerDate(
      R"(\{d '\d{4}-\d\d-\d\d'\}|\{ts '\d{4}-\d\d-\d\d \d\d:\d\d:\d\d'\})");
  if (size < 1) return 0;
  const std::string type = kTypes[data[0] % 7];
  const bool keep_blanks = data[0] & 0x10;
  const kb6::Dialect dialect = data[0] & 0x20 ? kb6::Dialect::kSqlServer : kb6::Dialect::kAccess;
  const std::string value(kb6::fuzz::AsText(data + 1, size - 1));
  const std::string empty = "INSERT INTO T () VALUES ()";
  std::string sql = empty;
  kb6::AddInsertField(dialect, regional, sql, value, "C", type, keep_blanks);
  if (sql == empty) return 0;
  const std::string head = "INSERT INTO T (C) VALUES (";
  if (sql.rfind(head, 0) != 0 || sql.back() != ')') kb6::fuzz::Fail("statement broken", value, sql);
  const std::string literal = sql.substr(head.size(), sql.size() - head.size() - 1);
  const std::regex& kind = type == "A" || type == "M"         ? kText
                           : type == "N"                      ? kNumber
                           : dialect == kb6::Dialect::kAccess ? kAccessDate
                                                              : kServerDate;
  if (!std::regex_match(literal, kind))
    kb6::fuzz::Fail("the value is not one literal of its kind", value, sql);
  return 0;
}
