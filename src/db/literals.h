// The INSERT builder and the literal formats used wherever values are written
// into statement texts. Dates take the form of the current back end.
#pragma once

#include <string>

#include "common/regional.h"
#include "common/value.h"
#include "db/dialect.h"

namespace kb6 {

// Extends "INSERT INTO t () VALUES ()" by one column; a value that is empty or
// not valid for its type code leaves the statement unchanged. Always returns "".
std::string AddInsertField(Dialect dialect, const RegionalSettings& regional,
                           std::string& statement, std::string value, const std::string& column,
                           const std::string& type_code, bool keep_blanks);

std::string SQLNumberLiteral(const RegionalSettings& regional, const Value& value);
// "" when valid (the value is written back in its general text form),
// "Kein Datum" for "0", "error" otherwise.
std::string CheckDateValue(const RegionalSettings& regional, std::string& value);
std::string SQLDateLiteral(Dialect dialect, const RegionalSettings& regional, const Value& value);
// Two decimals and a point: 1234.5 gives "1234.50".
std::string FormatAmount(const RegionalSettings& regional, double number);

// A text for the inside of a single-quoted literal: its quotes doubled, so it
// can neither end the literal nor change the statement.
std::string QuoteText(const std::string& text);

// A key read from a row, for appending to a statement: numbers in plain
// decimal with a point; a stored text that is not a whole number goes in as a
// quoted text, so that it names only its own row and can never add to the
// statement. Null gives "" (nothing is appended), so the statement it goes
// into fails rather than naming any row.
std::string SqlKeyLiteral(const RegionalSettings& regional, const Value& key);

}  // namespace kb6
