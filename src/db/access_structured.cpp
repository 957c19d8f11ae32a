// The expression-tree half of the Access translation: "&" and "+" between
// operands become calls of acc_concat and acc_plus, and the joined-table
// UPDATE becomes UPDATE ... FROM.
#include <functional>
#include <string>
#include <vector>

#include "common/text.h"
#include "db/access_translation.h"
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
constexpr std::string_view kBoundaryWords[] = {
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
    out += TrimSet(inner(start, cuts[k]), kBlanksTabsAndLineBreaks);
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

}  // namespace kb6
