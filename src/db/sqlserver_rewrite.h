// The plain-text rewrites that turn Access-dialect statements into SQL Server
// ones. They do not parse SQL; they replace and cut text at fixed words. Every
// replacement and every search for a key word skips single-quoted literals, so
// data inside quotes reaches the server as written.
#pragma once

#include <cstdint>
#include <string>

namespace kb6 {

// The rewrite inside ExecuteSQL (UPDATE / INSERT / DELETE). Throws
// RuntimeError where the cut would have a negative length (a WHERE before SET).
std::string RewriteStatementForSqlServer(const std::string& statement);

// The rewrite that OpenRecordset applies to every query. Never fails: on an
// internal failure the query is returned as passed.
std::string ConvertQueryForSQLServer(const std::string& query);

// Field `index` (1-based) of `text` split at `delimiter`. Trailing tabs and
// blanks at both ends are removed from `text` in place first.
std::string GetToken(int16_t index, std::string& text, const std::string& delimiter);

}  // namespace kb6
