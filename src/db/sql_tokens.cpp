#include "db/sql_tokens.h"

#include <cctype>

namespace kb6 {
namespace {

// Reads a literal delimited by q with the delimiter doubled inside. An
// unterminated literal runs to the end of the text.
size_t LiteralEnd(std::string_view s, size_t i, char q) {
  ++i;
  while (i < s.size()) {
    if (s[i] == q) {
      if (i + 1 < s.size() && s[i + 1] == q) {
        i += 2;
        continue;
      }
      return i + 1;
    }
    ++i;
  }
  return s.size();
}

}  // namespace

size_t SqlLiteralEnd(std::string_view s, size_t i) {
  if (s[i] == '#') {
    const size_t end = s.find('#', i + 1);
    return end != std::string_view::npos && end - i < 40 ? end + 1 : i + 1;
  }
  return LiteralEnd(s, i, s[i]);
}

std::vector<SqlToken> TokenizeSql(std::string_view s) {
  using K = SqlToken::Kind;
  std::vector<SqlToken> out;
  size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    size_t j = i + 1;
    K kind = K::kOp;
    if (std::isspace(c)) {
      while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
      kind = K::kSpace;
    } else if (c == '\'') {
      j = LiteralEnd(s, i, '\'');
      kind = K::kString;
    } else if (c == '"') {
      j = LiteralEnd(s, i, '"');
      kind = K::kDqString;
    } else if (c == '#') {
      size_t end = s.find('#', i + 1);
      if (end != std::string_view::npos && end - i < 40) {
        j = end + 1;
        kind = K::kDate;
      }
    } else if (c == '[') {
      size_t end = s.find(']', i + 1);
      j = end == std::string_view::npos ? s.size() : end + 1;
      kind = K::kWord;
    } else if (std::isdigit(c) || (c == '.' && i + 1 < s.size() &&
                                   std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
      while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && std::isdigit(static_cast<unsigned char>(s[k]))) {
          j = k;
          while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) ++j;
        }
      }
      // "1abc" is a name, not a number followed by a name.
      if (j < s.size() && IsSqlWordChar(static_cast<unsigned char>(s[j])) && s[j - 1] != '.') {
        while (j < s.size() && IsSqlWordChar(static_cast<unsigned char>(s[j]))) ++j;
        kind = K::kWord;
      } else {
        kind = K::kNumber;
      }
    } else if (IsSqlWordChar(c)) {
      while (j < s.size() && IsSqlWordChar(static_cast<unsigned char>(s[j]))) ++j;
      kind = K::kWord;
    } else if (c == '(') {
      kind = K::kLParen;
    } else if (c == ')') {
      kind = K::kRParen;
    } else if (c == ',') {
      kind = K::kComma;
    } else if ((c == '<' || c == '>' || c == '!') && j < s.size() &&
               (s[j] == '=' || (c == '<' && s[j] == '>'))) {
      ++j;
    }
    out.push_back({kind, std::string(s.substr(i, j - i))});
    i = j;
  }
  return out;
}

bool WordIs(const SqlToken& t, std::string_view upper_word) {
  if (t.kind != SqlToken::Kind::kWord || t.text.size() != upper_word.size()) return false;
  for (size_t i = 0; i < t.text.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(t.text[i])) != upper_word[i]) return false;
  return true;
}

}  // namespace kb6
