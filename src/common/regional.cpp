#include "common/regional.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/dates.h"
#include "common/text.h"

namespace kb6 {
namespace {

// Reads an unsigned decimal number of 1 to max_digits digits at pos.
std::optional<int> ReadInt(std::string_view s, size_t& pos, int max_digits) {
  int n = 0, digits = 0;
  while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) &&
         digits < max_digits) {
    n = n * 10 + (s[pos] - '0');
    ++pos;
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return n;
}

// "h:mm" or "h:mm:ss" with the given separator, the whole rest of the text.
std::optional<double> ParseTime(std::string_view s, char sep) {
  size_t pos = 0;
  auto h = ReadInt(s, pos, 2);
  if (!h || pos >= s.size() || s[pos] != sep) return std::nullopt;
  ++pos;
  auto m = ReadInt(s, pos, 2);
  if (!m) return std::nullopt;
  int sec = 0;
  if (pos < s.size() && s[pos] == sep) {
    ++pos;
    auto x = ReadInt(s, pos, 2);
    if (!x) return std::nullopt;
    sec = *x;
  }
  if (pos != s.size() || *h > 23 || *m > 59 || sec > 59) return std::nullopt;
  return (*h * 3600.0 + *m * 60.0 + sec) / 86400.0;
}

// A date of three numeric parts. German order is day, month, year; a first part
// of four digits is read as year-month-day (ISO).
std::optional<double> ParseDateOnly(std::string_view s, char sep) {
  size_t pos = 0;
  const size_t start = pos;
  auto a = ReadInt(s, pos, 4);
  if (!a) return std::nullopt;
  const bool iso = pos - start == 4;
  char used = s.size() > pos ? s[pos] : '\0';
  if (used != sep && used != '.' && used != '/' && used != '-') return std::nullopt;
  ++pos;
  auto b = ReadInt(s, pos, 2);
  if (!b || pos >= s.size() || s[pos] != used) return std::nullopt;
  ++pos;
  const size_t ystart = pos;
  auto c = ReadInt(s, pos, iso ? 2 : 4);
  if (!c || pos != s.size()) return std::nullopt;
  int year, month, day;
  if (iso) {
    year = *a, month = *b, day = *c;
  } else {
    day = *a, month = *b, year = *c;
    if (pos - ystart <= 2) year += year < 30 ? 2000 : 1900;
  }
  if (!IsValidCivilDate(year, month, day)) return std::nullopt;
  return SerialFromCivil({year, month, day, 0, 0, 0});
}

std::string FormatDouble(double d, char decimal) {
  // Arithmetic on bad data can leave infinity or NaN; a variant of double
  // type raises an overflow instead of ever holding them.
  if (!std::isfinite(d)) throw RuntimeError::Overflow();
  if (d == 0) return "0";
  char buf[64];
  // A whole number below 10^15 is all its digits under %.15G as well.
  if (std::fabs(d) < 1e15 && d == std::floor(d))
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(d)).ptr);
  std::snprintf(buf, sizeof buf, "%.15G", d);
  std::string s = buf;
  // %G writes "1E+20"; the text form writes "1E+20" as well, but drops the
  // leading zeros of the exponent.
  if (auto e = s.find('E'); e != std::string::npos) {
    std::string mant = s.substr(0, e), exp = s.substr(e + 1);
    char sign = exp[0];
    exp = exp.substr(1);
    while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
    s = mant + "E" + sign + exp;
  }
  for (char& c : s)
    if (c == '.') c = decimal;
  return s;
}

// Decimal digits of |d| rounded half away from zero to `places` decimals, read
// through 15 significant digits first so that 1.005 rounds like the decimal it
// stands for. Returns integer part and fraction digits.
std::pair<std::string, std::string> RoundDecimal(double d, int places) {
  if (!std::isfinite(d)) throw RuntimeError::Overflow();
  char buf[64];
  // A whole number below 10^15 has at most fifteen digits, all exact: there
  // is nothing to round.
  if (const double whole = std::fabs(d); whole < 1e15 && whole == std::floor(whole)) {
    const char* end = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(whole)).ptr;
    return {std::string(buf, static_cast<size_t>(end - buf)),
            std::string(static_cast<size_t>(places), '0')};
  }
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(d));
  // buf: "D.DDDDDDDDDDDDDDe+XX"
  std::string digits;
  digits += buf[0];
  digits.append(buf + 2, 14);
  int exp = std::atoi(std::strchr(buf, 'e') + 1);
  // value = 0.digits * 10^(exp+1)
  int point = exp + 1;  // digits before the decimal point
  if (point < 0) {
    digits.insert(0, static_cast<size_t>(-point), '0');
    point = 0;
  }
  while (static_cast<int>(digits.size()) < point + places + 1) digits += '0';
  std::string keep = digits.substr(0, static_cast<size_t>(point + places));
  const bool up = digits[static_cast<size_t>(point + places)] >= '5';
  if (up) {
    int i = static_cast<int>(keep.size()) - 1;
    while (i >= 0 && keep[static_cast<size_t>(i)] == '9') keep[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++keep[static_cast<size_t>(i)];
    } else {
      keep = "1" + keep;
      ++point;
    }
  }
  std::string ip = keep.substr(0, static_cast<size_t>(point));
  std::string fp = keep.substr(static_cast<size_t>(point));
  const size_t first = ip.find_first_not_of('0');
  ip = first == std::string::npos ? "0" : ip.substr(first);
  return {ip, fp};
}

bool AllZero(const std::string& s) { return s.find_first_not_of('0') == std::string::npos; }

}  // namespace

std::string RegionalSettings::ToText(const Value& v) const {
  switch (v.kind()) {
    case Value::Kind::kEmpty:
      return "";
    case Value::Kind::kNull:
      throw RuntimeError::InvalidUseOfNull();
    case Value::Kind::kBool:
      return v.AsBool() ? "Wahr" : "Falsch";
    case Value::Kind::kInt:
      return std::to_string(v.AsInt());
    case Value::Kind::kDouble:
      return FormatDouble(v.AsDouble(), decimal_separator);
    case Value::Kind::kDate: {
      const double s = v.AsDateSerial();
      const bool has_date = DatePart(s) != 0;
      const bool has_time = HasTimeOfDay(s);
      if (!has_date && has_time) return FormatDate(s, "hh:mm:ss");
      if (!has_time) return FormatDate(s, "dd/mm/yyyy");
      return FormatDate(s, "dd/mm/yyyy hh:mm:ss");
    }
    case Value::Kind::kText:
      return v.AsText();
  }
  return "";
}

std::string RegionalSettings::TextOrEmpty(const Value& v) const {
  return v.IsNull() ? std::string() : ToText(v);
}

std::optional<double> RegionalSettings::ParseDate(std::string_view text) const {
  std::string_view s = TrimSet(text, kBlanksAndTabs);
  if (s.empty()) return std::nullopt;
  if (auto t = ParseTime(s, time_separator)) return t;
  size_t blank = s.find(' ');
  // ISO date-times written by other tools: "2026-12-04T10:00:00".
  if (blank == std::string_view::npos && s.size() > 10 && s[4] == '-' && s[10] == 'T') blank = 10;
  if (blank == std::string_view::npos) return ParseDateOnly(s, date_separator);
  auto d = ParseDateOnly(s.substr(0, blank), date_separator);
  if (!d) return std::nullopt;
  std::string_view rest = TrimSet(s.substr(blank + 1), kBlanksAndTabs);
  // Before 30.12.1899 the time counts away from zero, as on the whole scale:
  // 29.12.1899 06:00 is -1.25.
  if (auto t = ParseTime(rest, time_separator)) return *d < 0 ? *d - *t : *d + *t;
  return std::nullopt;
}

bool RegionalSettings::IsDate(const Value& v) const {
  switch (v.kind()) {
    case Value::Kind::kDate:
      return true;
    case Value::Kind::kText:
      return ParseDate(v.AsText()).has_value();
    default:
      return false;
  }
}

double RegionalSettings::ToDate(const Value& v) const {
  switch (v.kind()) {
    case Value::Kind::kDate:
      return v.AsDateSerial();
    case Value::Kind::kNull:
      throw RuntimeError::InvalidUseOfNull();
    case Value::Kind::kInt:
    case Value::Kind::kDouble: {
      const double d = v.kind() == Value::Kind::kInt ? v.AsInt() : v.AsDouble();
      if (!IsDateSerialInRange(d)) throw RuntimeError::Overflow();
      return d;
    }
    case Value::Kind::kText:
      if (auto d = ParseDate(v.AsText())) return *d;
      if (auto n = ParseNumber(v.AsText())) {
        if (!IsDateSerialInRange(*n)) throw RuntimeError::Overflow();
        return *n;
      }
      throw RuntimeError::TypeMismatch();
    default:
      throw RuntimeError::TypeMismatch();
  }
}

std::optional<double> RegionalSettings::ParseNumber(std::string_view text) const {
  std::string_view s = TrimSet(text, kBlanksAndTabs);
  std::string plain;
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) plain += s[i++];
  bool digits = false, decimal = false;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      plain += c;
      digits = true;
    } else if (c == decimal_separator && !decimal) {
      plain += '.';
      decimal = true;
    } else if (c == thousands_separator && !decimal) {
      // Thousands separators are accepted anywhere in the integer part.
    } else {
      break;
    }
  }
  if (!digits) return std::nullopt;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    std::string exp = "e";
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
    bool ed = false;
    while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
      exp += s[j++];
      ed = true;
    }
    if (!ed) return std::nullopt;
    plain += exp;
    i = j;
  }
  if (i != s.size()) return std::nullopt;
  const double d = std::strtod(plain.c_str(), nullptr);
  if (!std::isfinite(d)) return std::nullopt;
  return d;
}

bool RegionalSettings::IsNumeric(const Value& v) const {
  switch (v.kind()) {
    case Value::Kind::kEmpty:
    case Value::Kind::kBool:
    case Value::Kind::kInt:
    case Value::Kind::kDouble:
      return true;
    case Value::Kind::kText:
      return ParseNumber(v.AsText()).has_value();
    default:
      return false;
  }
}

double RegionalSettings::ToDouble(const Value& v) const {
  switch (v.kind()) {
    case Value::Kind::kEmpty:
      return 0;
    case Value::Kind::kNull:
      throw RuntimeError::InvalidUseOfNull();
    case Value::Kind::kBool:
      return v.AsBool() ? -1 : 0;
    case Value::Kind::kInt:
      return v.AsInt();
    case Value::Kind::kDouble:
      return v.AsDouble();
    case Value::Kind::kDate:
      return v.AsDateSerial();
    case Value::Kind::kText:
      if (auto d = ParseNumber(v.AsText())) return *d;
      throw RuntimeError::TypeMismatch();
  }
  throw RuntimeError::TypeMismatch();
}

int32_t RoundToLong(double d) {
  if (!std::isfinite(d)) throw RuntimeError::Overflow();
  const double r = std::nearbyint(d);  // default rounding mode: half to even
  if (r < std::numeric_limits<int32_t>::min() || r > std::numeric_limits<int32_t>::max())
    throw RuntimeError::Overflow();
  return static_cast<int32_t>(r);
}

int32_t RegionalSettings::ToLong(const Value& v) const {
  if (v.kind() == Value::Kind::kInt) return v.AsInt();
  return RoundToLong(ToDouble(v));
}

int16_t RegionalSettings::ToInteger(const Value& v) const {
  const int32_t l = ToLong(v);
  if (l < std::numeric_limits<int16_t>::min() || l > std::numeric_limits<int16_t>::max())
    throw RuntimeError::Overflow();
  return static_cast<int16_t>(l);
}

std::string RegionalSettings::FormatDate(double serial, std::string_view pattern) const {
  const CivilDateTime c = CivilFromSerial(serial);
  const std::string d =
      Pad2(c.day) + date_separator + Pad2(c.month) + date_separator + std::to_string(c.year);
  const std::string t =
      Pad2(c.hour) + time_separator + Pad2(c.minute) + time_separator + Pad2(c.second);
  if (pattern == "dd/mm/yyyy") return d;
  if (pattern == "hh:mm:ss") return t;
  if (pattern == "dd/mm/yyyy hh:mm:ss") return d + " " + t;
  if (pattern == "dd.mm.yyyy hh:mm:ss") {
    return Pad2(c.day) + "." + Pad2(c.month) + "." + std::to_string(c.year) + " " + Pad2(c.hour) +
           ":" + Pad2(c.minute) + ":" + Pad2(c.second);
  }
  if (pattern == "yymmdd") return Pad2(c.year % 100) + Pad2(c.month) + Pad2(c.day);
  return d;
}

std::string RegionalSettings::FormatNumber(double number, std::string_view pattern) const {
  const bool grouped = pattern.find(',') != std::string_view::npos;
  const size_t dot = pattern.find('.');
  const int places = dot == std::string_view::npos ? 0 : static_cast<int>(pattern.size() - dot - 1);
  const size_t int_len = dot == std::string_view::npos ? pattern.size() : dot;
  int min_int = 0;
  for (size_t i = 0; i < int_len; ++i)
    if (pattern[i] == '0') ++min_int;
  auto [ip, fp] = RoundDecimal(number, places);
  if (static_cast<int>(ip.size()) < min_int)
    ip = std::string(static_cast<size_t>(min_int) - ip.size(), '0') + ip;
  if (min_int == 0 && ip == "0") ip.clear();
  if (grouped) {
    std::string g;
    for (size_t i = 0; i < ip.size(); ++i) {
      if (i > 0 && (ip.size() - i) % 3 == 0) g += thousands_separator;
      g += ip[i];
    }
    ip = g;
  }
  std::string out = ip;
  if (places > 0) out += decimal_separator + fp;
  // A value that rounds to zero prints without its sign.
  const bool negative = number < 0 && !(AllZero(fp) && AllZero(ip.empty() ? "0" : ip));
  if (negative) out = "-" + out;
  return out;
}

double NumericValueOf(const RegionalSettings& r, const Value& v) {
  switch (v.kind()) {
    case Value::Kind::kInt:
      return v.AsInt();
    case Value::Kind::kDouble:
      return v.AsDouble();
    case Value::Kind::kText:
      return LeadingNumber(v.AsText());
    default:
      return LeadingNumber(r.ToText(v));
  }
}

double LeadingNumber(std::string_view text) {
  std::string plain;
  size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() &&
           (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
      ++i;
  };
  skip_blanks();
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) plain += text[i++];
  bool point = false, digits = false;
  for (;; ++i) {
    skip_blanks();
    if (i >= text.size()) break;
    const char c = text[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      plain += c;
      digits = true;
    } else if (c == '.' && !point) {
      plain += '.';
      point = true;
    } else {
      break;
    }
  }
  if (!digits) return 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    size_t j = i + 1;
    std::string exp = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exp += text[j++];
    bool ed = false;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
      exp += text[j++];
      ed = true;
    }
    if (ed) plain += exp;
  }
  const double d = std::strtod(plain.c_str(), nullptr);
  return std::isfinite(d) ? d : 0;
}

}  // namespace kb6
