#include "db/access_shape.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "db/access_dialect.h"
#include "db/access_translation.h"
#include "db/sql_tokens.h"

namespace kb6 {
namespace {

// Placeholder bytes of the key; a statement holding one has no shape.
constexpr char kTextPlaceholder = '\x01';
constexpr char kQuotedPlaceholder = '\x02';  // a double-quoted text
constexpr char kNumberPlaceholder = '\x03';  // a number or a date
// A number mark is this, the literal's index in octal digits and a closing
// "9": one number to the translation, and never written by it.
constexpr std::string_view kNumberMark = "0.000000000001";

// Word characters of the Access tokenizer in the C locale (IsSqlWordChar):
// letters, digits, "_" and every byte of a UTF-8 sequence.
constexpr auto kWordChars = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[c] = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           c >= 0x80;
  return t;
}();

// The bytes the scan stops at; all others go into the key as they are. Most
// of a statement is names and blanks, which the scan passes four at a time.
enum Stop : unsigned char { kGo, kDigitStop, kLetterY, kOther };

constexpr auto kStops = [] {
  std::array<Stop, 256> t{};
  for (int c = '0'; c <= '9'; ++c) t[c] = kDigitStop;
  t['Y'] = t['y'] = kLetterY;  // the end of BY, rarer in names than its start
  for (unsigned char c :
       {'\'', '"', '#', '[', '`', '?', ':', '@', '$', '-', '/', '\0', '\x01', '\x02', '\x03'})
    t[c] = kOther;
  return t;
}();

Stop StopOf(char c) { return kStops[static_cast<unsigned char>(c)]; }
bool IsWordChar(char c) { return kWordChars[static_cast<unsigned char>(c)]; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// A number or date may not touch what could join it into another token, on
// the Access side or, once translated, on the SQLite side.
bool JoinsBefore(std::string_view s, size_t i) {
  if (i == 0) return false;
  const char p = s[i - 1];
  return IsWordChar(p) || p == '.' || p == ']' || p == '"' || p == '\'' || p == '`' || p == '#';
}
bool JoinsAfter(std::string_view s, size_t end) {
  return end < s.size() && (IsWordChar(s[end]) || s[end] == '.' || s[end] == '#');
}

// The SQLite text of the literal at `span` of `access_sql`.
std::string TranslatedLiteral(std::string_view access_sql, std::pair<uint32_t, uint32_t> span) {
  const std::string text(access_sql.substr(span.first, span.second - span.first));
  switch (text[0]) {
    case '"':
      return MapToken({SqlToken::Kind::kDqString, text}).text;
    case '#':
      return MapToken({SqlToken::Kind::kDate, text}).text;
    default:
      return text;
  }
}

}  // namespace

bool ShapeAccessStatement(std::string_view s, AccessShape& out, const ShapePrefix* known) {
  out.key.clear();
  out.spans.clear();
  const char* p = s.data();
  const size_t n = s.size();
  size_t i = 0;
  while (i < n && (IsSpace(p[i]) || p[i] == '(')) ++i;
  size_t w = i;
  while (w < n && IsWordChar(p[w])) ++w;
  if (!BindableStatement(s.substr(i, w - i))) return false;

  bool bind_numbers = true;
  size_t count = 0;
  out.prefix = {};  // none until the first literal
  // The key is written in place: each literal (two bytes at least, or one
  // digit) becomes one byte, so it is never longer than the text.
  out.key.resize(n);
  char* key = out.key.data();
  size_t key_size = 0;
  size_t run = 0;  // s[run, i) still to be copied into the key
  auto copy_run = [&](size_t to) {
    std::memcpy(key + key_size, p + run, to - run);
    key_size += to - run;
  };
  // The next literal's slot, its storage kept from earlier statements.
  auto slot = [&]() -> ShapeLiteral& {
    if (count == out.literals.size()) out.literals.emplace_back();
    return out.literals[count];
  };
  auto bind = [&](size_t begin, size_t end, char placeholder) -> ShapeLiteral& {
    if (count == 0) out.prefix = {begin, bind_numbers};
    copy_run(begin);
    key[key_size++] = placeholder;
    run = end;
    out.spans.emplace_back(static_cast<uint32_t>(begin), static_cast<uint32_t>(end));
    ShapeLiteral& lit = slot();
    ++count;
    return lit;
  };
  // Names in brackets go into the key unscanned; a placeholder byte in one
  // would read as a literal.
  auto placeholder_byte_in = [&](size_t begin, size_t end) {
    for (size_t k = begin; k < end; ++k)
      if (static_cast<unsigned char>(p[k]) <= 3) return true;
    return false;
  };
  // SQLite ends a statement's text at a NUL byte, while a bound text would
  // carry it on.
  if (std::memchr(p, '\0', n) != nullptr) return false;
  out.spans.reserve(16);
  i = w;
  // A key's first literal stands after no name (a name would join it), so
  // the scan of the start before it never read past it: resuming there
  // leaves the scan as it would have been.
  if (known && known->length > w && known->length < n) {
    i = known->length;
    bind_numbers = known->numbers_bound;
  }
  while (i < n) {
    while (i + 4 <= n &&
           (StopOf(p[i]) | StopOf(p[i + 1]) | StopOf(p[i + 2]) | StopOf(p[i + 3])) == 0)
      i += 4;
    while (i < n && StopOf(p[i]) == kGo) ++i;
    if (i >= n) break;
    const char c = p[i];
    const Stop stop = StopOf(c);
    if (stop == kLetterY) {
      // ORDER BY 2 and GROUP BY 2 name a column; a bound 2 would not.
      if (i >= 1 && (p[i - 1] == 'B' || p[i - 1] == 'b') && !(i >= 2 && IsWordChar(p[i - 2])) &&
          !(i + 1 < n && IsWordChar(p[i + 1])))
        bind_numbers = false;
      ++i;
      continue;
    }
    // A digit inside a name is part of it.
    if (stop == kDigitStop && i > 0 && IsWordChar(p[i - 1])) {
      ++i;
      continue;
    }
    if (stop == kDigitStop) {
      // ".5" is a number too; points are not worth a stop of their own.
      if (i > 0 && p[i - 1] == '.') --i;
      if (JoinsBefore(s, i)) return false;
      size_t j = i;
      int points = 0;
      while (j < n && (IsDigit(p[j]) || p[j] == '.')) points += p[j++] == '.';
      bool exponent = false;
      if (j < n && (p[j] == 'e' || p[j] == 'E')) {
        size_t k = j + 1;
        if (k < n && (p[k] == '+' || p[k] == '-')) ++k;
        if (k < n && IsDigit(p[k])) {
          while (k < n && IsDigit(p[k])) ++k;
          j = k;
          exponent = true;
        }
      }
      if (points > 1 || JoinsAfter(s, j)) return false;
      const std::string_view number = s.substr(i, j - i);
      if (number.find(kNumberMark) != std::string_view::npos) return false;
      ShapeLiteral value;
      if (bind_numbers && !exponent && BindableNumber(number, value, out.bind_decimals)) {
        ShapeLiteral& lit = bind(i, j, kNumberPlaceholder);
        lit.kind = value.kind;
        lit.integer = value.integer;
        lit.real = value.real;
      }
      i = j;
      continue;
    }
    switch (c) {
      case '\'':
      case '"': {
        // x'41' is a blob, N'a' a name before a text: neither is bound.
        if (i > 0 && IsWordChar(p[i - 1])) return false;
        // The inside, doubled quotes undoubled, read up to the closing quote.
        std::string& text = slot().text;
        text.clear();
        size_t end = i + 1;
        for (;;) {
          const size_t k = s.find(c, end);
          if (k == std::string_view::npos) return false;
          const bool doubled = k + 1 < n && p[k + 1] == c;
          text.append(p + end, k + doubled - end);
          end = k + 1 + doubled;
          if (!doubled) break;
        }
        if (end < n && IsWordChar(p[end])) return false;
        bind(i, end, c == '\'' ? kTextPlaceholder : kQuotedPlaceholder).kind =
            ShapeLiteral::Kind::kText;
        i = end;
        break;
      }
      case '#': {
        // A date, if a "#" closes it within 40 characters, as the tokenizer
        // reads it; any other "#" would read differently once placeholders
        // change the distances.
        const size_t close = s.find('#', i + 1);
        if (close == std::string_view::npos || close - i >= 40 || !bind_numbers) return false;
        if (JoinsBefore(s, i) || JoinsAfter(s, close + 1)) return false;
        const std::optional<double> serial = ParseAccessDateLiteral(s.substr(i + 1, close - i - 1));
        if (!serial || *serial < 0) return false;
        ShapeLiteral value;
        if (*serial == std::floor(*serial) && *serial < 1e15) {
          // A day without a time: "%.15g" writes its digits, an integer.
          value.kind = ShapeLiteral::Kind::kInteger;
          value.integer = static_cast<int64_t>(*serial);
        } else if (const std::string number = FormatSerial(*serial);
                   number.find_first_of("eE") != std::string::npos ||
                   !BindableNumber(number, value, out.bind_decimals)) {
          return false;
        }
        ShapeLiteral& lit = bind(i, close + 1, kNumberPlaceholder);
        lit.kind = value.kind;
        lit.integer = value.integer;
        lit.real = value.real;
        i = close + 1;
        break;
      }
      case '[': {
        const size_t close = s.find(']', i + 1);
        if (close == std::string_view::npos || placeholder_byte_in(i, close)) return false;
        i = close + 1;
        break;
      }
      case '-':
      case '/':
        if (i + 1 < n && p[i + 1] == (c == '-' ? '-' : '*')) return false;  // a comment
        ++i;
        break;
      default:  // parameter markers, backticks, placeholder bytes
        return false;
    }
  }
  copy_run(n);
  out.key.resize(key_size);
  out.literals.resize(count);
  return true;
}

std::optional<TranslatedShape> TranslateAccessShape(std::string_view access_sql,
                                                    const AccessShape& shape) {
  const size_t n = shape.literals.size();
  if (n != shape.spans.size() || n > 0xffff) return std::nullopt;
  // The key with a mark for each literal, of the literal's own kind.
  std::string marked;
  size_t index = 0;
  for (char c : shape.key) {
    char number[32];
    switch (c) {
      case kTextPlaceholder:
      case kQuotedPlaceholder: {
        const char q = c == kTextPlaceholder ? '\'' : '"';
        std::snprintf(number, sizeof number, "%c\x01%zu\x01%c", q, index++, q);
        marked += number;
        break;
      }
      case kNumberPlaceholder:
        std::snprintf(number, sizeof number, "%zo9", index++);
        marked.append(kNumberMark).append(number);
        break;
      default:
        marked += c;
    }
  }
  const std::string translated = TranslateAccessToSqlite(marked);
  // Each mark becomes "?" ...
  TranslatedShape out;
  std::vector<bool> seen(n);
  size_t i = 0;
  while (i < translated.size()) {
    const size_t text = translated.find("'\x01", i);
    const size_t num = translated.find(kNumberMark, i);
    const size_t at = std::min(text, num);
    if (at == std::string::npos) break;
    out.sql.append(translated, i, at - i);
    size_t k = 0;
    size_t end = 0;
    if (at == text) {
      const size_t close = translated.find("\x01'", at + 2);
      if (close == std::string::npos) return std::nullopt;
      for (size_t d = at + 2; d < close; ++d) {
        if (translated[d] < '0' || translated[d] > '9') return std::nullopt;
        k = k * 10 + static_cast<size_t>(translated[d] - '0');
      }
      end = close + 2;
    } else {
      size_t d = at + kNumberMark.size();
      for (; d < translated.size() && translated[d] >= '0' && translated[d] <= '7'; ++d)
        k = k * 8 + static_cast<size_t>(translated[d] - '0');
      if (d >= translated.size() || translated[d] != '9') return std::nullopt;
      end = d + 1;
    }
    // "?" with a digit after it would be a numbered parameter.
    if (k >= n || seen[k] || (end < translated.size() && IsDigit(translated[end])))
      return std::nullopt;
    seen[k] = true;
    out.at.push_back(static_cast<uint32_t>(out.sql.size()));
    out.sql += '?';
    out.order.push_back(static_cast<uint16_t>(k));
    i = end;
  }
  out.sql.append(translated, i, std::string::npos);
  // ... and the literals' own translations, put in instead, must give the
  // statement's translation.
  if (out.order.size() != n ||
      TranslatedText(access_sql, shape, out) != TranslateAccessToSqlite(access_sql))
    return std::nullopt;
  return out;
}

std::string TranslatedText(std::string_view access_sql, const AccessShape& shape,
                           const TranslatedShape& translated) {
  std::string out;
  size_t from = 0;
  for (size_t p = 0; p < translated.at.size(); ++p) {
    out.append(translated.sql, from, translated.at[p] - from);
    out += TranslatedLiteral(access_sql, shape.spans[translated.order[p]]);
    from = translated.at[p] + 1;
  }
  out.append(translated.sql, from, std::string::npos);
  return out;
}

}  // namespace kb6
