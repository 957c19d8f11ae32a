#include "db/statement_templates.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/sql_tokens.h"

namespace kb6 {
namespace {

constexpr std::string_view kMark = "0.000000000001";
constexpr size_t kMaxTemplates = 64;

}  // namespace

std::optional<std::string> TranslateByTemplate(std::string_view access_sql,
                                               TranslateFunction translate) {
  // "#" ends a date only within 40 characters, a distance placeholders change.
  if (access_sql.find(kMark) != std::string_view::npos ||
      access_sql.find('#') != std::string_view::npos)
    return std::nullopt;
  const std::vector<SqlToken> tokens = TokenizeSql(access_sql);
  std::string key;
  key.reserve(access_sql.size());
  std::vector<std::string_view> numbers;
  size_t at = 0;
  for (const SqlToken& t : tokens) {
    if (t.kind == SqlToken::Kind::kNumber) {
      // A placeholder must stay a token of its own: no word character or
      // point may touch the number ("1..UPDATE" would make one word).
      auto joins = [&](size_t p) {
        return IsSqlWordChar(static_cast<unsigned char>(access_sql[p])) || access_sql[p] == '.';
      };
      if ((at > 0 && joins(at - 1)) ||
          (at + t.text.size() < access_sql.size() && joins(at + t.text.size())))
        return std::nullopt;
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
    it = templates.emplace(key, translate(key)).first;
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
  return out;
}

}  // namespace kb6
