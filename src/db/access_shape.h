// The shape of a statement in the Access dialect: its text with the literals
// that can be bound replaced by placeholders, and those literals as the
// values SQLite would read from their translated text. A cycle sends a few
// hundred shapes in tens of thousands of statements; translating each shape
// once and binding the literals of every statement spares both the
// translation and the split of the translated text into its shape.
//
// Contract: when ShapeAccessStatement(s) is true and TranslateAccessShape
// gives a shape for it, preparing that shape and binding the literals (in the
// shape's order) does what the text TranslateAccessToSqlite(s) does, for s
// and for every other statement with the same key.
//
// This holds because:
//  - The key keeps everything but the bound literals, and a literal's kind
//    (quoted text, double-quoted text, number or date) is its placeholder, so
//    the translation sees the same tokens for every statement of a key: it
//    moves operands and copies literals unchanged.
//  - Literals are only bound where the split of the translated text would
//    bind them: never after BY, never a number with an exponent or one that
//    binding would round differently, never next to a name, a point or a
//    quote, and nothing in a text with parameter markers, comments, "$",
//    backticks, a NUL byte, a placeholder byte outside a quoted text, or a
//    "#" that is not a date.
//  - TranslateAccessShape translates the key with a mark for each literal
//    and refuses unless every mark comes back once as an operand of its own,
//    and unless putting the literals' translated texts back in gives exactly
//    TranslateAccessToSqlite of the statement it was made from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/statement_shape.h"

namespace kb6 {

// The start of a statement up to its first bound literal (0 without one),
// and whether numbers after it may still be bound (no BY in it). Every
// statement of a key has the same.
struct ShapePrefix {
  size_t length = 0;
  bool numbers_bound = true;
};

struct AccessShape {
  std::string key;                     // the text, one placeholder byte per bound literal
  std::vector<ShapeLiteral> literals;  // in the order of the text
  std::vector<std::pair<uint32_t, uint32_t>> spans;  // where each literal stands, [begin, end)
  ShapePrefix prefix;
  bool bind_decimals = true;  // as StatementShape::bind_decimals
};

// Fills `out` (reusing its storage) and returns true when the statement can
// run as its shape. `known`, when given, is the prefix of a key whose text
// [0, known->length) the statement starts with: the scan resumes after it,
// which spares most of a statement whose literals all stand at its end.
bool ShapeAccessStatement(std::string_view access_sql, AccessShape& out,
                          const ShapePrefix* known = nullptr);

struct TranslatedShape {
  std::string sql;              // SQLite text with "?" for each bound literal
  std::vector<uint16_t> order;  // parameter p + 1 takes literals[order[p]]
  std::vector<uint32_t> at;     // where parameter p + 1 stands in `sql`
};

// The SQLite shape of `shape`, which ShapeAccessStatement made from
// `access_sql`; nullopt when the translation does not keep every literal as
// an operand of its own (see the contract above).
std::optional<TranslatedShape> TranslateAccessShape(std::string_view access_sql,
                                                    const AccessShape& shape);

// The text `translated` stands for with the literals of `access_sql` (whose
// shape is `shape`) in place of its parameters.
std::string TranslatedText(std::string_view access_sql, const AccessShape& shape,
                           const TranslatedShape& translated);

}  // namespace kb6
