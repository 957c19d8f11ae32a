#include "db/access_dialect.h"

#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "common/dates.h"
#include "common/text.h"
#include "db/access_translation.h"
#include "db/sql_tokens.h"

namespace kb6 {
namespace {

using K = SqlToken::Kind;

}  // namespace

std::string FormatSerial(double serial) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", serial);
  return buf;
}

// True for a quoted literal without its closing quote (doubled quotes
// inside are text).
bool EndsOpen(const SqlToken& t) {
  if (t.kind != SqlToken::Kind::kString && t.kind != SqlToken::Kind::kDqString) return false;
  const char q = t.text[0];
  for (size_t i = 1; i < t.text.size(); ++i) {
    if (t.text[i] != q) continue;
    if (i + 1 < t.text.size() && t.text[i + 1] == q) {
      ++i;
      continue;
    }
    return i + 1 != t.text.size();
  }
  return true;
}

// Token-level rewrites that need no structure.
SqlToken MapToken(const SqlToken& t) {
  switch (t.kind) {
    case K::kDqString: {
      // Left open, so that SQLite refuses the statement as it was written.
      if (EndsOpen(t)) return t;
      std::string inner = t.text.substr(1, t.text.size() >= 2 ? t.text.size() - 2 : 0);
      std::string out = "'";
      for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') {
          out += '"';
          ++i;
        } else if (inner[i] == '\'') {
          out += "''";
        } else {
          out += inner[i];
        }
      }
      return {K::kString, out + "'"};
    }
    case K::kDate:
      if (auto s = ParseAccessDateLiteral(t.text.substr(1, t.text.size() - 2)))
        return {K::kNumber, FormatSerial(*s)};
      return t;
    case K::kWord:
      if (WordIs(t, "TRUE")) return {K::kNumber, "-1"};
      if (WordIs(t, "FALSE")) return {K::kNumber, "0"};
      return t;
    default:
      return t;
  }
}

std::optional<double> ParseAccessDateLiteral(std::string_view s) {
  auto num = [&](size_t& i, int max) -> std::optional<int> {
    int n = 0, d = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])) && d < max) {
      n = n * 10 + (s[i++] - '0');
      ++d;
    }
    if (!d) return std::nullopt;
    return n;
  };
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  CivilDateTime c;
  bool has_date = false;
  size_t save = i;
  auto m = num(i, 2);
  if (m && i < s.size() && (s[i] == '-' || s[i] == '/')) {
    const char sep = s[i++];
    auto d = num(i, 2);
    if (!d || i >= s.size() || s[i] != sep) return std::nullopt;
    ++i;
    auto y = num(i, 4);
    if (!y || !IsValidCivilDate(*y, *m, *d)) return std::nullopt;
    c.year = *y, c.month = *m, c.day = *d;
    has_date = true;
    while (i < s.size() && s[i] == ' ') ++i;
  } else {
    i = save;
  }
  if (i < s.size()) {
    auto h = num(i, 2);
    if (!h || i >= s.size() || s[i] != ':') return std::nullopt;
    ++i;
    auto mi = num(i, 2);
    if (!mi) return std::nullopt;
    int sec = 0;
    if (i < s.size() && s[i] == ':') {
      ++i;
      auto x = num(i, 2);
      if (!x) return std::nullopt;
      sec = *x;
    }
    while (i < s.size() && s[i] == ' ') ++i;
    if (i != s.size() || *h > 23 || *mi > 59 || sec > 59) return std::nullopt;
    c.hour = *h, c.minute = *mi, c.second = sec;
  } else if (!has_date) {
    return std::nullopt;
  }
  return SerialFromCivil(c);
}

namespace {

// One pass over the text for the rewrites that need no structure: date
// literals, TRUE/FALSE, double-quoted texts. Most statements need nothing
// more; `needs_structure` tells when "&", "+" or a joined UPDATE call for the
// expression tree. The two passes agree on every token they both rewrite.
std::string TokenPass(std::string_view s, bool& needs_structure) {
  std::string out;
  out.reserve(s.size() + 16);
  // Unchanged text is copied in runs: s[copied, i) is still to be written.
  size_t copied = 0;
  auto replace = [&](size_t from, size_t to, std::string_view with) {
    out.append(s.substr(copied, from - copied));
    out.append(with);
    copied = to;
  };
  needs_structure = false;
  bool first_word = true, is_update = false, after_set = false;
  int depth = 0;
  size_t i = 0;
  // Whether what is written so far (up to s[i]) ends with a single quote.
  auto quote_before = [&] {
    return copied < i ? s[i - 1] == '\'' : !out.empty() && out.back() == '\'';
  };
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == ' ') {
      ++i;
      continue;
    }
    if (c == '\'') {
      // A single-quoted text passes as it is, up to where the tokenizer ends
      // it; right after a converted text a blank keeps the two apart, written
      // together they would read as one text with a quote in it.
      if (quote_before()) replace(i, i, " ");
      i = SqlLiteralEnd(s, i);
      continue;
    }
    if (c == '"' || c == '#') {
      // Literals go through the tokenizer's own rules, on their own text only.
      const size_t end = SqlLiteralEnd(s, i);
      const std::vector<SqlToken> one = TokenizeSql(s.substr(i, end - i));
      const SqlToken mapped = MapToken(one.front());
      const std::string lead = c == '"' && quote_before() && mapped.text.front() == '\'' ? " " : "";
      const size_t stop = i + one.front().text.size();
      if (mapped.text != one.front().text || !lead.empty()) replace(i, stop, lead + mapped.text);
      i = stop;
      continue;
    }
    if (IsSqlWordStart(c)) {
      size_t j = i + 1;
      while (j < s.size() && IsSqlWordChar(static_cast<unsigned char>(s[j]))) ++j;
      const std::string_view word = s.substr(i, j - i);
      // Only words of these lengths can be one the pass looks for.
      if (word.size() == 4 && EqualsNoCase(word, "TRUE")) {
        replace(i, j, "-1");
      } else if (word.size() == 5 && EqualsNoCase(word, "FALSE")) {
        replace(i, j, "0");
      }
      if (first_word) is_update = word.size() == 6 && EqualsNoCase(word, "UPDATE");
      if (depth == 0 && word.size() == 3 && EqualsNoCase(word, "SET")) after_set = true;
      first_word = false;
      i = j;
      continue;
    }
    if (std::isdigit(c)) {
      size_t j = i + 1;
      while (j < s.size() && (IsSqlWordChar(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
      first_word = false;
      i = j;
      continue;
    }
    if (c == '[') {
      const size_t end = s.find(']', i + 1);
      first_word = false;
      i = end == std::string_view::npos ? s.size() : end + 1;
      continue;
    }
    if (c == '&' || c == '+') needs_structure = true;
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0 && is_update && !after_set) needs_structure = true;
    ++i;
  }
  out.append(s.substr(copied));
  return out;
}

}  // namespace

std::string TranslateAccessToSqlite(std::string_view access_sql) {
  bool needs_structure = false;
  std::string simple = TokenPass(access_sql, needs_structure);
  if (!needs_structure) return simple;
  return TranslateStructured(access_sql, std::move(simple));
}

}  // namespace kb6
