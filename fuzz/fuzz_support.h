// Shared pieces of the fuzz targets.
#pragma once

#include <algorithm>
#include <cctype>
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

// The decoded texts of the quoted literals of `sql`, sorted; an unterminated
// one is marked "<open>".
inline std::vector<std::string> TextLiterals(std::string_view sql) {
  std::vector<std::string> out;
  for (const auto& t : TokenizeSql(sql)) {
    if (t.kind != SqlToken::Kind::kString && t.kind != SqlToken::Kind::kDqString) continue;
    const char q = t.text[0];
    std::string decoded;
    bool closed = false;
    for (size_t i = 1; i < t.text.size() && !closed; ++i) {
      if (t.text[i] != q)
        decoded += t.text[i];
      else if (i + 1 < t.text.size() && t.text[i + 1] == q)
        decoded += t.text[++i];  // a doubled quote is text
      else if (!(closed = i + 1 == t.text.size()))
        decoded += q;
    }
    out.push_back(decoded + (closed ? "" : "<open>"));
  }
  std::sort(out.begin(), out.end());
  return out;
}

// True when the text ends inside a quoted literal or a "[name": refused
// wherever it is sent, so its rewrite does not matter.
inline bool EndsInOpenLiteral(std::string_view sql) {
  const auto tokens = TokenizeSql(sql);
  if (!tokens.empty() && tokens.back().text.front() == '[' && tokens.back().text.back() != ']')
    return true;
  const auto literals = TextLiterals(sql);
  return std::any_of(literals.begin(), literals.end(),
                     [](const std::string& l) { return l.ends_with("<open>"); });
}

[[noreturn]] inline void Fail(const char* what, std::string_view in, std::string_view out) {
  std::fprintf(stderr, "%s\n  in:  %.*s\n  out: %.*s\n", what, static_cast<int>(in.size()),
               in.data(), static_cast<int>(out.size()), out.data());
  std::abort();
}

// Texts may be repeated (the joined UPDATE form) or dropped with surplus
// arguments (INSTR), never altered or made up.
inline void ExpectSqlServerTextsKept(std::string_view in, std::string_view out) {
  // SQL Server knows no #date# literals: "#" is hidden from the tokenizer.
  std::string before(in), after(out);
  std::replace(before.begin(), before.end(), '#', '@');
  std::replace(after.begin(), after.end(), '#', '@');
  if (EndsInOpenLiteral(before)) return;
  // The rewrites, like the server, know no quotes inside "[name]".
  if (before.find('[') != std::string::npos) return;
  // A quote before SET would be a text in UPDATE's table list: none has one.
  std::string upper(before);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper.rfind("UPDATE", 0) == 0 && upper.find_first_of("'\"") < upper.find("SET")) return;
  const auto kept = TextLiterals(before);
  for (const auto& text : TextLiterals(after))
    if (!std::binary_search(kept.begin(), kept.end(), text)) Fail("a quoted text changed", in, out);
}

}  // namespace kb6::fuzz
