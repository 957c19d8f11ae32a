#include "db/access_dialect.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/dates.h"
#include "common/text.h"
#include "db/sql_tokens.h"

namespace kb6 {
namespace {

using K = SqlToken::Kind;

struct Node {
  SqlToken token;
  std::vector<Node> children;  // for a "(" group: its inside
  bool group = false;
};

// Words at which an operand of "&" or "+" ends.
constexpr std::array<std::string_view, 40> kBoundaryWords = {
    "SELECT", "FROM",   "WHERE",    "SET",    "AND",  "OR",     "NOT",    "IS",
    "LIKE",   "IN",     "BETWEEN",  "AS",     "ON",   "ORDER",  "BY",     "GROUP",
    "HAVING", "UPDATE", "DELETE",   "INSERT", "INTO", "VALUES", "JOIN",   "INNER",
    "LEFT",   "RIGHT",  "OUTER",    "CASE",   "WHEN", "THEN",   "ELSE",   "END",
    "ASC",    "DESC",   "DISTINCT", "UNION",  "ALL",  "TOP",    "EXISTS", "ESCAPE"};

bool IsBoundary(const Node& n) {
  if (n.group) return false;
  const SqlToken& t = n.token;
  if (t.kind == K::kComma) return true;
  if (t.kind == K::kOp)
    return t.text == "=" || t.text == "<" || t.text == ">" || t.text == "<=" || t.text == ">=" ||
           t.text == "<>" || t.text == "!=" || t.text == ";";
  if (t.kind == K::kWord)
    for (auto w : kBoundaryWords)
      if (WordIs(t, w)) return true;
  return false;
}

bool IsOperand(const Node& n) {
  if (n.group) return true;
  switch (n.token.kind) {
    case K::kWord:
    case K::kNumber:
    case K::kString:
    case K::kDqString:
    case K::kDate:
      return true;
    default:
      return false;
  }
}

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

std::vector<Node> BuildTree(const std::vector<SqlToken>& tokens, size_t& i) {
  std::vector<Node> out;
  while (i < tokens.size()) {
    const SqlToken& t = tokens[i++];
    if (t.kind == K::kRParen) {
      // The ")" closes the caller's group; its text stays the group's last item.
      out.push_back(Node{t, {}, false});
      return out;
    }
    if (t.kind == K::kLParen) {
      Node g{t, BuildTree(tokens, i), true};
      out.push_back(std::move(g));
    } else {
      out.push_back(Node{t, {}, false});
    }
  }
  return out;
}

std::string Emit(const std::vector<Node>& seq);

std::string EmitItems(const std::vector<Node>& items, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to; ++i) {
    const Node& n = items[i];
    if (n.group) {
      out += "(";
      out += Emit(n.children);
    } else {
      out += n.token.text;
    }
  }
  return out;
}

std::string Stripped(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return "";
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

// Splits items[from, to) at the operator `op` where it stands between two
// operands, and emits fn(op1, op2, ...) when there is at least one split.
bool EmitSplit(const std::vector<Node>& items, size_t from, size_t to, const std::string& op,
               const char* fn, const std::function<std::string(size_t, size_t)>& inner,
               std::string& out) {
  std::vector<size_t> cuts;
  const Node* prev = nullptr;
  for (size_t i = from; i < to; ++i) {
    const Node& n = items[i];
    if (!n.group && n.token.kind == K::kSpace) continue;
    if (!n.group && n.token.kind == K::kOp && n.token.text == op && prev && IsOperand(*prev))
      cuts.push_back(i);
    prev = &n;
  }
  if (cuts.empty()) return false;
  // Keep the blanks around the whole expression outside the call.
  size_t a = from, b = to;
  while (a < b && !items[a].group && items[a].token.kind == K::kSpace) ++a;
  while (b > a && !items[b - 1].group && items[b - 1].token.kind == K::kSpace) --b;
  out += EmitItems(items, from, a);
  out += fn;
  out += "(";
  size_t start = a;
  cuts.push_back(b);
  for (size_t k = 0; k < cuts.size(); ++k) {
    if (k) out += ", ";
    out += Stripped(inner(start, cuts[k]));
    start = cuts[k] + 1;
  }
  out += ")";
  out += EmitItems(items, b, to);
  return true;
}

std::string EmitRun(const std::vector<Node>& items, size_t from, size_t to) {
  auto plus = [&](size_t f, size_t t) {
    std::string out;
    if (EmitSplit(
            items, f, t, "+", "acc_plus",
            [&](size_t a, size_t b) { return EmitItems(items, a, b); }, out))
      return out;
    return EmitItems(items, f, t);
  };
  std::string out;
  if (EmitSplit(items, from, to, "&", "acc_concat", plus, out)) return out;
  return plus(from, to);
}

std::string Emit(const std::vector<Node>& seq) {
  std::string out;
  size_t start = 0;
  for (size_t i = 0; i <= seq.size(); ++i) {
    const bool end = i == seq.size();
    const bool close = !end && !seq[i].group && seq[i].token.kind == K::kRParen;
    if (end || close || IsBoundary(seq[i])) {
      out += EmitRun(seq, start, i);
      if (!end) out += seq[i].token.text;
      start = i + 1;
    }
  }
  return out;
}

// "UPDATE a, b SET a.x = b.y WHERE ..." becomes
// "UPDATE a SET x = b.y FROM b WHERE ...", which SQLite understands.
std::vector<SqlToken> RewriteJoinedUpdate(std::vector<SqlToken> t) {
  size_t first = 0;
  while (first < t.size() && t[first].kind == K::kSpace) ++first;
  if (first >= t.size() || !WordIs(t[first], "UPDATE")) return t;
  int depth = 0;
  size_t comma = 0, set = 0, where = t.size();
  for (size_t i = first + 1; i < t.size(); ++i) {
    if (t[i].kind == K::kLParen) ++depth;
    if (t[i].kind == K::kRParen) --depth;
    if (depth != 0) continue;
    if (!set && t[i].kind == K::kComma && !comma) comma = i;
    if (!set && WordIs(t[i], "SET")) set = i;
    if (set && i > set && WordIs(t[i], "WHERE")) {
      where = i;
      break;
    }
  }
  if (!set || !comma || comma > set) return t;
  std::vector<SqlToken> out(t.begin(), t.begin() + static_cast<long>(comma));
  out.push_back({K::kSpace, " "});
  // Assignment targets lose their table qualifier.
  bool at_target = true;
  depth = 0;
  for (size_t i = set; i < where; ++i) {
    if (t[i].kind == K::kLParen) ++depth;
    if (t[i].kind == K::kRParen) --depth;
    if (depth == 0 && t[i].kind == K::kComma) at_target = true;
    if (at_target && i > set && t[i].kind == K::kWord) {
      at_target = false;
      if (i + 2 < where && t[i + 1].kind == K::kOp && t[i + 1].text == "." &&
          t[i + 2].kind == K::kWord) {
        i += 1;
        continue;
      }
    }
    out.push_back(t[i]);
  }
  out.push_back({K::kSpace, " "});
  out.push_back({K::kWord, "FROM"});
  out.push_back({K::kSpace, " "});
  for (size_t i = comma + 1; i < set; ++i) out.push_back(t[i]);
  for (size_t i = where; i < t.size(); ++i) out.push_back(t[i]);
  return out;
}

}  // namespace

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

bool IsWordStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
bool IsWordPart(unsigned char c) { return std::isalnum(c) || c == '_' || c >= 0x80; }

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
    if (IsWordStart(c)) {
      size_t j = i + 1;
      while (j < s.size() && IsWordPart(static_cast<unsigned char>(s[j]))) ++j;
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
      while (j < s.size() && (IsWordPart(static_cast<unsigned char>(s[j])) || s[j] == '.')) ++j;
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

namespace {

std::string TranslateStructured(std::string_view access_sql, std::string simple) {
  std::vector<SqlToken> tokens = TokenizeSql(access_sql);
  // A statement that ends inside a literal cannot run; rebuilding it would
  // move text behind the literal into it. SQLite refuses it as it stands.
  if (!tokens.empty() && EndsOpen(tokens.back())) return simple;
  for (SqlToken& t : tokens) t = MapToken(t);
  // Two texts side by side must not become one with a quote inside.
  for (size_t k = 1; k < tokens.size(); ++k)
    if (tokens[k - 1].kind == K::kString && tokens[k].kind == K::kString)
      tokens.insert(tokens.begin() + static_cast<long>(k), SqlToken{K::kSpace, " "});
  tokens = RewriteJoinedUpdate(std::move(tokens));
  size_t i = 0;
  std::vector<Node> tree;
  // Top level: a stray ")" must not end the statement early.
  while (i < tokens.size()) {
    auto part = BuildTree(tokens, i);
    tree.insert(tree.end(), part.begin(), part.end());
  }
  return Emit(tree);
}

// Statements that need the expression tree come again and again with only
// their numbers (keys, amounts) changed. Numbers are opaque operands to
// every rewrite, so the translation of the statement with each number
// replaced by a numbered placeholder number is kept, and the numbers are put
// back into it. A placeholder is kMark, its index in octal digits and a "9":
// a number to the tokenizer, and never in a statement whose text holds no
// kMark (the translation itself writes no number but -1 and 0 here).
constexpr std::string_view kMark = "0.000000000001";
constexpr size_t kMaxTemplates = 64;

std::string TranslateByTemplate(std::string_view access_sql, bool& done) {
  done = false;
  // "#" ends a date only within 40 characters, a distance placeholders change.
  if (access_sql.find(kMark) != std::string_view::npos ||
      access_sql.find('#') != std::string_view::npos)
    return "";
  const std::vector<SqlToken> tokens = TokenizeSql(access_sql);
  std::string key;
  key.reserve(access_sql.size());
  std::vector<std::string_view> numbers;
  size_t at = 0;
  for (const SqlToken& t : tokens) {
    if (t.kind == K::kNumber) {
      // A placeholder must stay a token of its own: no word character or
      // point may touch the number ("1..UPDATE" would make one word).
      auto joins = [&](size_t p) {
        return IsWordPart(static_cast<unsigned char>(access_sql[p])) || access_sql[p] == '.';
      };
      if ((at > 0 && joins(at - 1)) ||
          (at + t.text.size() < access_sql.size() && joins(at + t.text.size())))
        return "";
      key.append(kMark);
      char octal[24];
      std::snprintf(octal, sizeof octal, "%zo9", numbers.size());
      key.append(octal);
      numbers.push_back(access_sql.substr(at, t.text.size()));
    } else {
      key.append(t.text);
    }
    at += t.text.size();
  }
  thread_local std::unordered_map<std::string, std::string> templates;
  auto it = templates.find(key);
  if (it == templates.end()) {
    if (templates.size() >= kMaxTemplates) templates.clear();
    bool needs_structure = false;
    std::string simple = TokenPass(key, needs_structure);
    it = templates.emplace(key, TranslateStructured(key, std::move(simple))).first;
  }
  const std::string& translated = it->second;
  std::string out;
  out.reserve(translated.size() + 16);
  for (size_t i = 0; i < translated.size();) {
    const size_t m = translated.find(kMark, i);
    if (m == std::string::npos) {
      out.append(translated, i, std::string::npos);
      break;
    }
    out.append(translated, i, m - i);
    const size_t end = translated.find('9', m + kMark.size());
    const size_t n =
        std::stoul(translated.substr(m + kMark.size(), end - m - kMark.size()), nullptr, 8);
    out.append(numbers.at(n));
    i = end + 1;
  }
  done = true;
  return out;
}

}  // namespace

std::string TranslateAccessToSqlite(std::string_view access_sql) {
  bool needs_structure = false;
  std::string simple = TokenPass(access_sql, needs_structure);
  if (!needs_structure) return simple;
  bool done = false;
  std::string by_template = TranslateByTemplate(access_sql, done);
  if (done) return by_template;
  return TranslateStructured(access_sql, std::move(simple));
}

std::string TranslateAccessToSqliteDirectly(std::string_view access_sql) {
  bool needs_structure = false;
  std::string simple = TokenPass(access_sql, needs_structure);
  if (!needs_structure) return simple;
  return TranslateStructured(access_sql, std::move(simple));
}

}  // namespace kb6
