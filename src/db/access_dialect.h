// Gives statements written in the Access dialect their Access meaning on
// SQLite: date literals become day serials, TRUE/FALSE become -1/0, "&" and
// "+" on texts become calls of functions that the SQLite provider registers,
// double-quoted texts become single-quoted ones, and the joined-table UPDATE
// becomes UPDATE ... FROM. Quoted literals are never touched.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kb6 {

std::string TranslateAccessToSqlite(std::string_view access_sql);

// The serial of an Access date literal's inside ("12-4-2026", "2-5-2003 14:07").
std::optional<double> ParseAccessDateLiteral(std::string_view inside);

}  // namespace kb6
