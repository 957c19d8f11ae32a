// A small SQL tokenizer shared by the dialect translator and the SQL Server
// rewrites. It keeps every character of the input (blanks included), so the
// text of a statement can be rebuilt exactly from its tokens.
#pragma once

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

namespace kb6 {

struct SqlToken {
  enum class Kind {
    kSpace,
    kWord,  // identifiers and key words; "[...]" names too
    kNumber,
    kString,    // '...' with '' inside
    kDqString,  // "..." (a text literal in the Access dialect)
    kDate,      // #...#
    kLParen,
    kRParen,
    kComma,
    kOp,  // every other character, "<>", "<=", ">=" and "!=" as one
  };
  Kind kind;
  std::string text;
};

// The characters of a word (identifier or key word): letters, digits, "_" and
// every byte of a UTF-8 sequence. A word starts with anything but a digit.
inline bool IsSqlWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }
inline bool IsSqlWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }

std::vector<SqlToken> TokenizeSql(std::string_view sql);
// Where the literal that starts at s[i] (', " or #) ends, one past its last
// character; an unterminated ' or " literal runs to the end of the text.
size_t SqlLiteralEnd(std::string_view s, size_t i);
bool WordIs(const SqlToken& t, std::string_view upper_word);

}  // namespace kb6
