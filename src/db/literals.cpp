#include "db/literals.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "common/dates.h"
#include "common/text.h"

namespace kb6 {
namespace {

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// One decimal number as SQL reads it: sign, digits with at most one point,
// exponent; blanks around it allowed.
bool IsPlainNumber(const std::string& s) {
  const std::string t = TrimBlanks(s);
  // Only these characters, so that strtod's hexadecimal, "inf" and "nan"
  // forms are no numbers here.
  if (t.empty() || t.find_first_not_of("0123456789.+-eE") != std::string::npos) return false;
  char* end = nullptr;
  std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size();
}

// Blanks off both ends, without a copy when there are none.
void TrimInPlace(std::string& s) {
  const size_t last = s.find_last_not_of(' ');
  if (last == std::string::npos) {
    s.clear();
    return;
  }
  s.erase(last + 1);
  s.erase(0, s.find_first_not_of(' '));
}

// One to nine digits: numeric in every regional setting, and written as it is.
bool IsShortDigitRun(const std::string& s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace

std::string AddInsertField(Dialect dialect, const RegionalSettings& regional,
                           std::string& statement, std::string value, const std::string& column,
                           const std::string& type_code, bool keep_blanks) {
  // The jobs call this for every field of every row they write: the value and
  // the statement are edited in place, and only where they change.
  try {
    if (!keep_blanks) TrimInPlace(value);
    if (value.find('\'') != std::string::npos)
      value = ReplaceAll(std::move(value), "'", "\xC2\xB4");  // the acute accent "´"
    if (value.empty()) return "";
    TrimInPlace(statement);
    const size_t k = FindNoCase(statement, ") VALUES (");
    if (k == std::string::npos) return "";
    std::string literal;
    if (EqualsNoCase(type_code, "A") || EqualsNoCase(type_code, "U") ||
        EqualsNoCase(type_code, "M")) {
      literal.reserve(value.size() + 2);
      literal += '\'';
      literal += value;
      literal += '\'';
    } else if (EqualsNoCase(type_code, "N")) {
      if (IsShortDigitRun(value)) {
        // Numeric, without a point, and its own SQL text.
        literal = std::move(value);
      } else {
        if (!regional.IsNumeric(Value(value))) return "";
        if (value.find('.') != std::string::npos) {
          // Mid$(value, Len - 2, 1) fails for texts shorter than three characters.
          if (value.size() < 3) return "";
          if (value[value.size() - 3] == '.') value[value.size() - 3] = ',';
        }
        literal = SQLNumberLiteral(regional, Value(value));
        // A text such as "12.,3" passes the numeric test but would come out as
        // two values; such a field is left out like any non-numeric one.
        if (!IsPlainNumber(literal)) return "";
      }
    } else if (EqualsNoCase(type_code, "D") || EqualsNoCase(type_code, "DT") ||
               EqualsNoCase(type_code, "T")) {
      if (!CheckDateValue(regional, value).empty()) return "";
      literal = SQLDateLiteral(dialect, regional, Value(value));
    } else {
      return "";
    }
    // The column goes before ") VALUES (", the literal before the last ")";
    // both lists are empty together.
    const bool no_values_yet = EndsWith(statement, "()");
    statement.insert(k, column);
    if (!no_values_yet) statement.insert(k, ", ");
    statement.pop_back();
    if (!no_values_yet) statement += ", ";
    statement += literal;
    statement += ')';
  } catch (...) {
  }
  return "";
}

std::string SQLNumberLiteral(const RegionalSettings& regional, const Value& value) {
  try {
    std::string s = regional.ToText(value);
    s = ReplaceAll(s, ".", "");
    if (const size_t c = s.find(','); c != std::string::npos) s[c] = '.';
    return s;
  } catch (...) {
    return "";
  }
}

std::string CheckDateValue(const RegionalSettings& r, std::string& value) {
  if (value.empty()) return "";
  if (value == "0") return "Kein Datum";
  auto d = r.ParseDate(value);
  if (!d) return "error";
  // Through "dd.mm.yyyy hh:mm:ss" and back, which drops fractions of a second.
  auto back = r.ParseDate(r.FormatDate(*d, "dd.mm.yyyy hh:mm:ss"));
  if (!back) return "error";
  const CivilDateTime c = CivilFromSerial(*back);
  if (c.day < 1 || c.month < 1 || c.year > 2999 || c.year < 1600) return "error";
  value = r.ToText(Value::Date(*back));
  return "";
}

std::string SQLDateLiteral(Dialect dialect, const RegionalSettings& r, const Value& value) {
  try {
    std::optional<double> serial;
    if (value.kind() == Value::Kind::kDate)
      serial = value.AsDateSerial();
    else if (value.kind() == Value::Kind::kText)
      serial = r.ParseDate(value.AsText());
    const bool has_time = serial && r.TextOrEmpty(value).find(':') != std::string::npos;
    if (dialect == Dialect::kAccess) {
      if (!serial) return "#01-01-1980#";
      const CivilDateTime c = CivilFromSerial(*serial);
      std::string s = "#" + std::to_string(c.month) + "-" + std::to_string(c.day) + "-" +
                      std::to_string(c.year);
      if (has_time) s += " " + Pad2(c.hour) + ":" + Pad2(c.minute);
      return s + "#";
    }
    if (!serial) return "{d '1980-01-01' }";
    const CivilDateTime c = CivilFromSerial(*serial);
    const std::string date = std::to_string(c.year) + "-" + Pad2(c.month) + "-" + Pad2(c.day);
    if (!has_time) return "{d '" + date + "'}";
    return "{ts '" + date + " " + Pad2(c.hour) + ":" + Pad2(c.minute) + ":" + Pad2(c.second) + "'}";
  } catch (...) {
    return "";
  }
}

std::string FormatAmount(const RegionalSettings& regional, double number) {
  try {
    return ReplaceAll(regional.FormatNumber(number, "#0.00"), ",", ".");
  } catch (...) {
    return regional.ToText(Value(number));
  }
}

std::string QuoteText(const std::string& text) { return ReplaceAll(text, "'", "''"); }

std::string SqlKeyLiteral(const RegionalSettings& regional, const Value& key) {
  // A Null adds nothing, as in plain concatenation: the statement then fails
  // to open or to run, which the jobs absorb row by row, instead of ending the
  // whole job on every run while the row exists.
  if (key.IsNull()) return "";
  if (key.kind() == Value::Kind::kInt) return std::to_string(key.AsInt());
  if (key.kind() == Value::Kind::kDouble) {
    char buf[40];
    const double d = key.AsDouble();
    // %g never writes a decimal comma, whatever the regional settings say.
    std::snprintf(buf, sizeof buf, d == std::trunc(d) && std::fabs(d) < 1e15 ? "%.0f" : "%.17g", d);
    return buf;
  }
  const std::string text = regional.ToText(key);
  const size_t digits = text.find_first_not_of('-') == 1 ? 1 : 0;
  const bool whole = text.size() > digits && text.size() - digits <= 18 &&
                     text.find_first_not_of("0123456789", digits) == std::string::npos;
  return whole ? text : "'" + QuoteText(text) + "'";
}

}  // namespace kb6
