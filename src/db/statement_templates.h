// Kept statement shapes for the Access translation. The statements that need
// the expression tree come again and again with only their numbers (keys,
// amounts) changed, so the translation of each shape -- the statement with
// every number replaced by a numbered placeholder -- is kept, and the
// numbers are put back into it. On the benchmark's cycle at 1,000 addresses
// this saves 4.5 % of all instructions (4.574 G against 4.788 G).
//
// Contract: TranslateByTemplate(s, translate) is either std::nullopt (the
// statement has no safe shape; the caller translates it itself) or exactly
// the text translate(s) would give.
//
// This holds because of these invariants:
//  - `translate` treats every number as an opaque operand: it moves numbers
//    and writes them back unchanged, and writes no number of its own that
//    contains the mark below (the Access translation writes only -1 and 0).
//  - A placeholder is the mark "0.000000000001", the number's index in octal
//    digits and a closing "9": one number to the tokenizer, and the octal
//    index can never contain the "9" that ends it.
//  - A statement that already holds the mark has no shape: its own text
//    could not be told from a placeholder.
//  - A statement that holds "#" has no shape: "#" starts a date literal only
//    when its closing "#" lies within 40 characters, a distance that longer
//    placeholders would change.
//  - A number that touches a word character or a point on either side has
//    no shape: the placeholder could join its neighbour into one token
//    ("1..UPDATE" would make one word).
//
// The shapes are kept per thread, at most 64, and forgotten all at once when
// that many are kept. The cache does not key on `translate`: a process uses
// one translation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kb6 {

using TranslateFunction = std::string (*)(std::string_view statement);

std::optional<std::string> TranslateByTemplate(std::string_view access_sql,
                                               TranslateFunction translate);

}  // namespace kb6
