#include "db/statement_shape.h"

#include <array>
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

// Character classes for the scan: most characters of a statement are names
// and blanks, which only need to be stepped over.
enum CharClass : unsigned char { kPlain, kName, kDigitClass, kSpecial };

constexpr auto kClasses = [] {
  std::array<CharClass, 256> t{};
  for (int c = 0; c < 256; ++c) {
    if (c >= '0' && c <= '9')
      t[c] = kDigitClass;
    else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80)
      t[c] = kName;
  }
  for (unsigned char c : {'\'', '"', '`', '[', '?', ':', '@', '-', '/', '.', '\0'}) t[c] = kSpecial;
  return t;
}();

CharClass ClassOf(char c) { return kClasses[static_cast<unsigned char>(c)]; }

bool EqualsNoCase(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
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

// One past the closing quote of the literal that starts at s[i], the quote
// doubled inside; npos when it is not closed.
size_t SqlQuotedEnd(std::string_view s, size_t i, char q) {
  for (size_t j = i + 1;;) {
    const size_t k = s.find(q, j);
    if (k == std::string_view::npos) return k;
    if (k + 1 < s.size() && s[k + 1] == q) {
      j = k + 2;
      continue;
    }
    return k + 1;
  }
}

}  // namespace

bool BindableStatement(std::string_view first_word) {
  // Every statement asks this; one upper-case copy answers it.
  char upper[8];
  if (first_word.size() < 4 || first_word.size() > sizeof upper) return false;
  for (size_t i = 0; i < first_word.size(); ++i) {
    const char c = first_word[i];
    upper[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  const std::string_view w(upper, first_word.size());
  return w == "SELECT" || w == "INSERT" || w == "UPDATE" || w == "DELETE" || w == "REPLACE" ||
         w == "WITH";
}

bool BindableNumber(std::string_view digits, ShapeLiteral& out, bool decimals) {
  const size_t dot = digits.find('.');
  if (dot == std::string_view::npos) {
    uint64_t v = 0;
    for (char d : digits) {
      // Past 64 bits SQLite reads a real.
      if (v > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - 9) / 10) return false;
      v = v * 10 + static_cast<uint64_t>(d - '0');
    }
    out.kind = ShapeLiteral::Kind::kInteger;
    out.integer = static_cast<int64_t>(v);
    return true;
  }
  double v = 0;
  if (!decimals || !DecimalAsDouble(digits, dot, v)) return false;
  out.kind = ShapeLiteral::Kind::kReal;
  out.real = v;
  return true;
}

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
  // The key is copied in runs: everything from `run` up to a bound literal
  // goes in unchanged.
  size_t run = 0;
  auto bind_here = [&](size_t begin, size_t end) {
    out.key.append(s.data() + run, begin - run);
    out.key += '?';
    run = end;
  };
  out.key.reserve(s.size());
  i = w;
  while (i < s.size()) {
    const char c = s[i];
    const CharClass cls = ClassOf(c);
    if (cls == kPlain) {
      ++i;
      while (i < s.size() && ClassOf(s[i]) == kPlain) ++i;
      continue;
    }
    if (cls == kName) {
      if (c == '$') return false;  // a parameter marker
      const size_t start = i;
      ++i;
      while (i < s.size() && (ClassOf(s[i]) == kName || ClassOf(s[i]) == kDigitClass)) ++i;
      // ORDER BY 2 and GROUP BY 2 name a column; a bound 2 would not.
      if (i - start == 2 && EqualsNoCase(s.substr(start, 2), "BY")) bind_numbers = false;
      // A blob literal x'..' stays as it is.
      if (i - start == 1 && (c == 'x' || c == 'X') && i < s.size() && s[i] == '\'') {
        const size_t end = SqlQuotedEnd(s, i, '\'');
        if (end == std::string_view::npos) return false;
        i = end;
      }
      continue;
    }
    if (c == '\'') {
      const size_t end = SqlQuotedEnd(s, i, '\'');
      if (end == std::string_view::npos) return false;
      ShapeLiteral& lit = next_literal();
      lit.kind = ShapeLiteral::Kind::kText;
      lit.text.assign(s.data() + i + 1, end - i - 2);
      // Doubled quotes inside stand for one.
      for (size_t q = lit.text.find('\''); q != std::string::npos; q = lit.text.find('\'', q + 1))
        lit.text.erase(q, 1);
      bind_here(i, end);
      i = end;
    } else if (c == '"' || c == '`' || c == '[') {
      const size_t q = s.find(c == '[' ? ']' : c, i + 1);
      if (q == std::string_view::npos) return false;
      i = q + 1;
    } else if (IsDigit(c) || (c == '.' && i + 1 < s.size() && IsDigit(s[i + 1]))) {
      // Right after a name or a closing quote this is not a number of its own.
      const char prev = i > 0 ? s[i - 1] : ' ';
      if (prev == '.' || prev == ']' || prev == '"' || prev == '`') return false;
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
      if (bind_numbers && !exponent) {
        if (ShapeLiteral number; BindableNumber(s.substr(i, j - i), number, out.bind_decimals)) {
          ShapeLiteral& lit = next_literal();
          lit.kind = number.kind;
          lit.integer = number.integer;
          lit.real = number.real;
          bind_here(i, j);
        }
      }
      i = j;
    } else {
      if (c == '?' || c == ':' || c == '@') return false;
      if ((c == '-' || c == '/') && i + 1 < s.size() && s[i + 1] == (c == '-' ? '-' : '*'))
        return false;  // a comment
      ++i;
    }
  }
  out.key.append(s.data() + run, s.size() - run);
  out.literals.resize(literal_count);
  return true;
}

}  // namespace kb6
