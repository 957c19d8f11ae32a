#include "db/statement_shape.h"

#include <cstring>
#include <limits>

namespace kb6 {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
// Characters SQLite takes as part of a name; '$' only after the first one.
bool IsWordChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return IsDigit(c) || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || c == '_' || c == '$' ||
         u >= 0x80;
}

bool EqualsNoCase(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

bool BindableStatement(std::string_view first_word) {
  for (std::string_view w : {"SELECT", "INSERT", "UPDATE", "DELETE", "REPLACE", "WITH"})
    if (EqualsNoCase(first_word, w)) return true;
  return false;
}

// SQLite reads a decimal literal by dividing its digits by a power of ten in
// long double where the platform has one; a bound double is rounded once.
// The literal is bound only when both ways give the very same double.
bool DecimalAsDouble(std::string_view digits, size_t dot, double& out) {
  uint64_t s = 0;
  int frac = 0;
  int significant = 0;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i == dot) continue;
    if (s != 0 || digits[i] != '0') ++significant;
    if (significant > 16) return false;
    s = s * 10 + static_cast<uint64_t>(digits[i] - '0');
    if (i > dot) ++frac;
  }
  while (frac > 0 && s % 10 == 0 && s != 0) {
    s /= 10;
    --frac;
  }
  // A bound zero after a unary minus is computed as 0 - 0.0, which is +0.0;
  // the literal -0.0 keeps its sign.
  if (s == 0) return false;
  if (s > (uint64_t{1} << 53) || frac > 22) return false;
  if (frac == 0) {
    out = static_cast<double>(s);
    return true;
  }
  long double scale_ld = 1.0L;
  double scale_d = 1.0;
  for (int i = 0; i < frac; ++i) {
    scale_ld *= 10.0L;
    scale_d *= 10.0;
  }
  const double once = static_cast<double>(s) / scale_d;
  const auto twice = static_cast<double>(static_cast<long double>(s) / scale_ld);
  if (once != twice) return false;
  out = once;
  return true;
}

}  // namespace

bool ShapeStatement(std::string_view s, StatementShape& out) {
  out.key.clear();
  out.literals.clear();
  if (std::memchr(s.data(), '\0', s.size()) != nullptr) return false;
  size_t i = 0;
  while (i < s.size() && (IsSpace(s[i]) || s[i] == '(')) ++i;
  size_t w = i;
  while (w < s.size() && IsWordChar(s[w])) ++w;
  if (!BindableStatement(s.substr(i, w - i))) return false;

  bool bind_numbers = true;
  size_t literal_count = 0;
  auto next_literal = [&]() -> ShapeLiteral& {
    if (literal_count == out.literals.size()) out.literals.emplace_back();
    return out.literals[literal_count++];
  };
  out.key.reserve(s.size());
  i = 0;
  while (i < s.size()) {
    const char c = s[i];
    const char prev = i > 0 ? s[i - 1] : ' ';
    if (c == '\'') {
      // A blob literal x'..' stays as it is.
      const bool blob = (prev == 'x' || prev == 'X') && (i < 2 || !IsWordChar(s[i - 2]));
      std::string* text = nullptr;
      if (!blob) {
        ShapeLiteral& lit = next_literal();
        lit.kind = ShapeLiteral::Kind::kText;
        lit.text.clear();
        text = &lit.text;
        out.key += '?';
      }
      size_t j = i + 1;
      for (;;) {
        const size_t q = s.find('\'', j);
        if (q == std::string_view::npos) return false;
        if (text) text->append(s.data() + j, q - j);
        if (q + 1 < s.size() && s[q + 1] == '\'') {
          if (text) *text += '\'';
          j = q + 2;
          continue;
        }
        j = q + 1;
        break;
      }
      if (blob) out.key.append(s.data() + i, j - i);
      i = j;
    } else if (c == '"' || c == '`' || c == '[') {
      const char close = c == '[' ? ']' : c;
      const size_t q = s.find(close, i + 1);
      if (q == std::string_view::npos) return false;
      out.key.append(s.data() + i, q + 1 - i);
      i = q + 1;
    } else if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      // Right after a name or a closing quote this is not a number of its own.
      if (IsWordChar(prev) || prev == '.' || prev == ']' || prev == '"' || prev == '`')
        return false;
      size_t j = i;
      size_t dot = std::string_view::npos;
      while (j < s.size() && (IsDigit(s[j]) || (s[j] == '.' && dot == std::string_view::npos))) {
        if (s[j] == '.') dot = j - i;
        ++j;
      }
      bool exponent = false;
      if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
        size_t k = j + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k < s.size() && IsDigit(s[k])) {
          while (k < s.size() && IsDigit(s[k])) ++k;
          j = k;
          exponent = true;
        }
      }
      if (j < s.size() && (IsWordChar(s[j]) || s[j] == '.')) return false;  // "1abc"
      const std::string_view digits = s.substr(i, j - i);
      bool bound = false;
      if (bind_numbers && !exponent) {
        if (dot == std::string_view::npos) {
          uint64_t v = 0;
          bound = true;
          for (char d : digits) {
            if (v > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - 9) / 10) {
              bound = false;  // past 64 bits SQLite reads a real
              break;
            }
            v = v * 10 + static_cast<uint64_t>(d - '0');
          }
          if (bound) {
            ShapeLiteral& lit = next_literal();
            lit.kind = ShapeLiteral::Kind::kInteger;
            lit.integer = static_cast<int64_t>(v);
          }
        } else {
          double v = 0;
          if (DecimalAsDouble(digits, dot, v)) {
            bound = true;
            ShapeLiteral& lit = next_literal();
            lit.kind = ShapeLiteral::Kind::kReal;
            lit.real = v;
          }
        }
      }
      if (bound)
        out.key += '?';
      else
        out.key.append(digits);
      i = j;
    } else if (IsWordChar(c)) {
      size_t j = i + 1;
      while (j < s.size() && IsWordChar(s[j])) ++j;
      const std::string_view word = s.substr(i, j - i);
      if (c == '$') return false;  // a parameter marker
      // ORDER BY 2 and GROUP BY 2 name a column; a bound 2 would not.
      if (EqualsNoCase(word, "BY")) bind_numbers = false;
      out.key.append(word);
      i = j;
    } else {
      if (c == '?' || c == ':' || c == '@') return false;
      if ((c == '-' && i + 1 < s.size() && s[i + 1] == '-') ||
          (c == '/' && i + 1 < s.size() && s[i + 1] == '*'))
        return false;
      out.key += c;
      ++i;
    }
  }
  out.literals.resize(literal_count);
  return true;
}

}  // namespace kb6
