// The pieces the files of the Access translation share (access_dialect.cpp:
// the entry, the token pass and the date literals; access_structured.cpp: the
// expression tree). Other code calls TranslateAccessToSqlite only.
#pragma once

#include <string>
#include <string_view>

#include "db/sql_tokens.h"

namespace kb6 {

// True for a quoted literal without its closing quote (doubled quotes inside
// are text).
bool EndsOpen(const SqlToken& t);

// A day serial as the number the translation writes for a date literal.
std::string FormatSerial(double serial);

// The token rewrites that need no structure: "..." texts become '...' texts,
// #dates# day serials, TRUE and FALSE -1 and 0. Any other token is returned
// as it is.
SqlToken MapToken(const SqlToken& t);

// The translation through the expression tree. `simple` is the token pass's
// result for the same text; it is returned unchanged for a statement that
// ends inside a literal, which SQLite then refuses as written.
std::string TranslateStructured(std::string_view access_sql, std::string simple);

}  // namespace kb6
