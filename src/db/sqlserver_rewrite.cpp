#include "db/sqlserver_rewrite.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "common/value.h"
#include "db/sql_tokens.h"

namespace kb6 {
namespace {

constexpr size_t npos = std::string::npos;

// true for every character that belongs to a quoted literal, the quotes
// included: single-quoted, and double-quoted as the Access dialect writes
// texts too. A doubled quote inside a literal closes and reopens it, which
// marks the same characters.
std::vector<bool> QuotedMask(const std::string& s) {
  std::vector<bool> mask(s.size(), false);
  char in = 0;  // the quote of the literal we are in, 0 outside
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if ((c == '\'' || c == '"') && (in == 0 || in == c)) {
      mask[i] = true;
      in = in == 0 ? c : 0;
      continue;
    }
    mask[i] = in != 0;
  }
  return mask;
}

bool SameChar(char a, char b, bool nocase) {
  return nocase ? std::toupper(static_cast<unsigned char>(a)) ==
                      std::toupper(static_cast<unsigned char>(b))
                : a == b;
}

// First occurrence of needle at or after `from` that lies wholly outside quotes.
size_t FindOutside(const std::string& s, std::string_view needle, bool nocase, size_t from = 0,
                   bool whole_word = false) {
  const std::vector<bool> q = QuotedMask(s);
  if (needle.empty() || s.size() < needle.size()) return npos;
  for (size_t i = from; i + needle.size() <= s.size(); ++i) {
    bool ok = true;
    for (size_t k = 0; k < needle.size() && ok; ++k)
      ok = !q[i + k] && SameChar(s[i + k], needle[k], nocase);
    if (!ok) continue;
    if (whole_word && ((i > 0 && IsSqlWordChar(static_cast<unsigned char>(s[i - 1]))) ||
                       (i + needle.size() < s.size() &&
                        IsSqlWordChar(static_cast<unsigned char>(s[i + needle.size()])))))
      continue;
    return i;
  }
  return npos;
}

std::string ReplaceOutside(const std::string& s, std::string_view needle, std::string_view repl,
                           bool nocase, bool whole_word) {
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t at = FindOutside(s, needle, nocase, pos, whole_word);
    if (at == npos) break;
    out.append(s, pos, at - pos);
    out += repl;
    pos = at + needle.size();
  }
  out.append(s, pos, npos);
  return out;
}

// Mid$(s, start, length) with 0-based start: a negative length raises run-time
// error 5, as Mid$ does.
std::string Cut(const std::string& s, size_t start, long length) {
  if (length < 0) throw RuntimeError(5, "Unzulässiger Prozeduraufruf oder ungültiges Argument");
  if (start >= s.size()) return "";
  return s.substr(start, static_cast<size_t>(length));
}

std::vector<std::string> SplitOutside(const std::string& s, char delimiter) {
  const std::vector<bool> q = QuotedMask(s);
  std::vector<std::string> out(1);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == delimiter && !q[i])
      out.emplace_back();
    else
      out.back() += s[i];
  }
  return out;
}

// Double-quoted texts outside single-quoted literals become single-quoted
// ones, their inner single quotes doubled so the text stays one literal.
std::string DoubleToSingleQuotes(const std::string& s) {
  std::string out;
  bool in_single = false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '\'') in_single = !in_single;
    if (c != '"' || in_single) {
      out += c;
      continue;
    }
    size_t j = i + 1;
    std::string inner;
    bool closed = false;
    while (j < s.size()) {
      if (s[j] == '"') {
        if (j + 1 < s.size() && s[j + 1] == '"') {
          inner += '"';
          j += 2;
          continue;
        }
        closed = true;
        break;
      }
      inner += s[j] == '\'' ? std::string("''") : std::string(1, s[j]);
      ++j;
    }
    if (!closed) {
      out += '\'';  // a lone double quote: replaced as it stands
      continue;
    }
    // Against a neighbouring single-quoted literal a blank keeps the two
    // apart; written together they would read as one text with a quote in it.
    if (!out.empty() && out.back() == '\'') out += ' ';
    out += "'" + inner + "'";
    i = j;
    if (i + 1 < s.size() && s[i + 1] == '\'') out += ' ';
  }
  return out;
}

}  // namespace

std::string RewriteStatementForSqlServer(const std::string& statement) {
  std::string s = statement;
  s = ReplaceOutside(s, "FALSE", "0", false, true);
  s = ReplaceOutside(s, "TRUE", "1", false, true);
  std::string first6 = s.substr(0, 6);
  first6 = ToUpperAscii(first6);
  if (first6 != "UPDATE") return s;
  const size_t p = FindOutside(s, "SET", true);
  if (p == npos) return s;
  const std::string before = s.substr(0, p);
  const size_t w = FindOutside(s, "WHERE", true);
  auto join_form = [&](size_t head_end) {
    const std::string head = s.substr(0, head_end);
    // q: the character before "SET" (0-based p - 1).
    const long q = static_cast<long>(p) - 1;
    std::string set_part, where_part;
    if (w != npos) {
      set_part = Cut(s, static_cast<size_t>(q), static_cast<long>(w) - q);
      where_part = s.substr(w);
    } else {
      set_part = s.substr(static_cast<size_t>(q));
    }
    const std::string from_part = "FROM " + Cut(s, 6, q - 6);
    return head + " " + set_part + " " + from_part + " " + where_part;
  };
  if (FindOutside(before, ",", false) != npos) return join_form(FindOutside(s, ",", false));
  if (const size_t ij = FindOutside(before, "INNER JOIN", true); ij != npos) return join_form(ij);
  if (FindOutside(before, "OUTER JOIN", true) != npos) return s;
  std::string set_part, where_part;
  if (w != npos) {
    set_part = Cut(s, p, static_cast<long>(w) - static_cast<long>(p));
    where_part = s.substr(w);
  } else {
    set_part = s.substr(p);
  }
  set_part = ReplaceOutside(set_part, "MID(", "SUBSTRING(", true, false);
  set_part = ReplaceOutside(set_part, " & ", " + ", false, false);
  return before + " " + set_part + " " + where_part;
}

std::string ConvertQueryForSQLServer(const std::string& query) {
  try {
    std::string s = query;
    if (s.find('"') != npos) s = DoubleToSingleQuotes(s);
    if (FindOutside(s, "FALSE", true) != npos)
      for (const char* v : {"FALSE", "false", "False"}) s = ReplaceOutside(s, v, "0", false, true);
    if (FindOutside(s, "TRUE", true) != npos)
      for (const char* v : {"TRUE", "true", "True"}) s = ReplaceOutside(s, v, "1", false, true);
    const size_t p = FindOutside(s, "INSTR(", true);
    if (p != npos) {
      const size_t close = FindOutside(s, ")", false, p);
      if (close == npos) return query;
      const std::string head = s.substr(0, p);
      const std::string call = s.substr(p, close - p + 1);
      const std::string tail = s.substr(close + 1);
      const std::string args = Cut(call, 6, static_cast<long>(call.size()) - 7);
      // The arguments split at commas outside quotes, so that a searched
      // text such as ', ' stays whole.
      const std::vector<std::string> fields = SplitOutside(args, ',');
      auto arg = [&](size_t i) { return i < fields.size() ? TrimBlanks(fields[i]) : ""; };
      const std::string a1 = arg(0), a2 = arg(1), a3 = arg(2);
      s = head + " " + "CHARINDEX(" + a3 + ", " + a2 + ", " + a1 + ")" + tail;
    }
    return s;
  } catch (...) {
    return query;
  }
}

std::string GetToken(int16_t index, std::string& text, const std::string& delimiter) {
  if (text.empty() || delimiter.empty()) return "";
  while (!text.empty() && text.back() == '\t') text.pop_back();
  text = TrimBlanks(text);
  std::string work = text;
  if (work.size() < delimiter.size() ||
      work.compare(work.size() - delimiter.size(), delimiter.size(), delimiter) != 0)
    work += delimiter;
  int count = 0;
  size_t start = 0;
  for (size_t at = work.find(delimiter); at != npos; at = work.find(delimiter, start)) {
    if (++count == index) return work.substr(start, at - start);
    start = at + delimiter.size();
  }
  return "";
}

}  // namespace kb6
