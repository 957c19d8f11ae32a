// Shared pieces of the fuzz targets: splitting the input and reading the
// literals of a statement.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql_tokens.h"

namespace kb6::fuzz {

inline std::string_view AsText(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The decoded texts of the quoted literals of `sql` (single- and, where
// `double_quoted`, double-quoted), sorted: what a rewrite must keep.
inline std::vector<std::string> TextLiterals(std::string_view sql, bool double_quoted) {
  std::vector<std::string> out;
  for (const auto& t : TokenizeSql(sql)) {
    const bool single = t.kind == SqlToken::Kind::kString;
    if (!single && !(double_quoted && t.kind == SqlToken::Kind::kDqString)) continue;
    const char q = single ? '\'' : '"';
    // An unterminated literal runs to the end of the text; doubled quotes
    // inside are text, so only a single quote at the very end closes it.
    bool closed = false;
    for (size_t i = 1; i < t.text.size(); ++i) {
      if (t.text[i] != q) continue;
      if (i + 1 < t.text.size() && t.text[i + 1] == q) {
        ++i;
        continue;
      }
      closed = i + 1 == t.text.size();
      break;
    }
    std::string inner = t.text.substr(1, t.text.size() - (closed ? 2 : 1));
    std::string decoded;
    for (size_t i = 0; i < inner.size(); ++i) {
      decoded += inner[i];
      if (inner[i] == q && i + 1 < inner.size() && inner[i + 1] == q) ++i;
    }
    out.push_back(decoded + (closed ? "" : "<open>"));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// The SQL Server dialect knows no #date# literals: for its rewrites a "#" is
// a plain character, so it is hidden from the tokenizer.
inline std::string HashesHidden(std::string_view s) {
  std::string out(s);
  std::replace(out.begin(), out.end(), '#', '@');
  return out;
}

// True when the text ends inside a quoted literal: such a statement is
// refused wherever it is sent, so what a rewrite makes of it does not matter.
inline bool EndsInOpenLiteral(std::string_view sql) {
  const auto tokens = TokenizeSql(sql);
  // A "[name" without its "]" runs to the end as well.
  if (!tokens.empty() && tokens.back().text.front() == '[' && tokens.back().text.back() != ']')
    return true;
  const auto literals = TextLiterals(sql, true);
  return std::any_of(literals.begin(), literals.end(), [](const std::string& l) {
    return l.size() >= 6 && l.compare(l.size() - 6, 6, "<open>") == 0;
  });
}

inline std::string Printable(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c != 0x7f) {
      out += static_cast<char>(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  return out;
}

// True when every text of `part` is also a text of `whole`.
inline bool Within(const std::vector<std::string>& part, const std::vector<std::string>& whole) {
  return std::all_of(part.begin(), part.end(), [&](const std::string& t) {
    return std::binary_search(whole.begin(), whole.end(), t);
  });
}

[[noreturn]] inline void Fail(const char* what, std::string_view in, std::string_view out) {
  std::fprintf(stderr, "%s\n  in:  %s\n  out: %s\n", what, Printable(in).c_str(),
               Printable(out).c_str());
  std::abort();
}

// What both SQL Server rewrites promise: texts may be repeated (the joined
// UPDATE form) or dropped with surplus arguments (INSTR), but never altered
// or made up. Aborts otherwise.
inline void ExpectSqlServerTextsKept(std::string_view in, std::string_view out) {
  const std::string before = HashesHidden(in), after = HashesHidden(out);
  if (EndsInOpenLiteral(before)) return;
  // Like the server, the rewrites know no quotes inside "[name]"; the
  // tokenizer does, so such inputs are checked for crashes alone.
  if (before.find('[') != std::string::npos) return;
  // The UPDATE rewrite moves the character before SET with the set part: a
  // quote there means a text in the table list, which no statement has.
  std::string upper(before);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.rfind("UPDATE", 0) == 0 && upper.find_first_of("'\"") < upper.find("SET")) return;
  if (!Within(TextLiterals(after, true), TextLiterals(before, true)))
    Fail("a quoted text changed", in, out);
}

}  // namespace kb6::fuzz
