// The shape of an SQLite statement: its text with the literals that can be
// bound as parameters replaced by "?", and those literals as values of the
// type SQLite would have given them. Binding them to the prepared shape gives
// the same stored values and the same comparisons as the text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kb6 {

struct ShapeLiteral {
  enum class Kind { kInteger, kReal, kText };
  Kind kind;
  int64_t integer = 0;
  double real = 0;
  std::string text;  // kText: the value, quotes undoubled
};

struct StatementShape {
  std::string key;
  std::vector<ShapeLiteral> literals;
  // A setting of the connection, kept across texts: false leaves decimals in
  // the key, where SQLite reads them itself.
  bool bind_decimals = true;
};

// Fills `out` (reusing its storage) and returns true when the text can run as
// its shape; false for texts that must go to SQLite unchanged: statements
// other than SELECT/INSERT/UPDATE/DELETE/REPLACE/WITH, texts with parameter
// markers, comments, NUL bytes or unterminated quotes. Literals that SQLite
// would read differently from a bound value (ORDER BY/GROUP BY positions,
// exponents, integers beyond 64 bits, decimals that do not round the same
// way everywhere, blob literals) stay in the key.
bool ShapeStatement(std::string_view sql, StatementShape& out);

// True for the first words of the statements that can run as their shape.
bool BindableStatement(std::string_view first_word);

// Sets `out` to the bound value that stands for the number literal `digits`
// (digits with at most one point, no sign, no exponent); false when SQLite
// would read the text differently from any bound value, and for any decimal
// unless `decimals`.
bool BindableNumber(std::string_view digits, ShapeLiteral& out, bool decimals);

}  // namespace kb6
