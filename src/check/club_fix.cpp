#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "check/club_check.h"
#include "check/club_tables.h"
#include "common/regional.h"
#include "common/text.h"
#include "db/sqlite_file.h"

namespace kb6::check {
namespace {

bool AllDigits(const std::string& s) {
  return !s.empty() &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// "1.234.567" with groups of three after the first of one to three digits.
bool ThousandsGrouped(const std::string& s) {
  size_t start = 0;
  for (size_t dot = s.find('.');; dot = s.find('.', start)) {
    const std::string group =
        s.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (!AllDigits(group)) return false;
    if (start == 0 ? group.size() > 3 : group.size() != 3) return false;
    if (dot == std::string::npos) return true;
    start = dot + 1;
  }
}

std::string NumberText(double d) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  return buf;
}

std::string Shown(const Hit& h) {
  if (h.type == SQLITE_FLOAT && !std::isfinite(h.number)) return h.number < 0 ? "-Inf" : "Inf";
  return "'" + h.text + "'";
}

}  // namespace

std::optional<double> DateFromText(const std::string& text) {
  return RegionalSettings::German().ParseDate(text);
}

std::optional<double> AmountFromText(const std::string& text) {
  std::string s = TrimBlanks(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.erase(0, 1);
  }
  std::string whole = s, fraction;
  if (const size_t comma = s.find(','); comma != std::string::npos) {
    // A decimal comma: dots before it can only group thousands.
    whole = s.substr(0, comma);
    fraction = s.substr(comma + 1);
    if (!AllDigits(fraction)) return std::nullopt;
    if (whole.find('.') != std::string::npos) {
      if (!ThousandsGrouped(whole)) return std::nullopt;
      whole = ReplaceAll(whole, ".", "");
    }
  } else if (const size_t dot = s.find('.'); dot != std::string::npos) {
    // A lone point is a decimal point unless it could group thousands
    // ("1.234" is 1234 in German and 1.234 elsewhere: left alone).
    whole = s.substr(0, dot);
    fraction = s.substr(dot + 1);
    if (!AllDigits(fraction) || (fraction.size() == 3 && whole.size() <= 3)) return std::nullopt;
  }
  if (!AllDigits(whole)) return std::nullopt;
  const double v = std::stod(whole + (fraction.empty() ? "" : "." + fraction));
  if (!std::isfinite(v)) return std::nullopt;
  return negative ? -v : v;
}

std::vector<Change> FixClubFile(sqlite3* db) {
  std::vector<Change> changes;
  for (const TableInfo& t : ReadTables(db)) {
    if (!t.has_rowid) continue;
    for (const ColumnInfo& c : t.columns) {
      const std::string q = SqliteQuoted(c.name);
      SqliteQuery update(db,
                         "UPDATE " + SqliteQuoted(t.name) + " SET " + q + " = ? WHERE rowid = ?");
      auto set = [&](const Hit& h, std::optional<double> v, const std::string& after) {
        update.Reset();
        if (v)
          update.BindDouble(1, *v);
        else
          update.BindNull(1);
        update.BindInt(2, h.rowid);
        update.Step();
        changes.push_back({t.name, c.name, t.key_name + "=" + h.key, Shown(h), after});
      };
      if (c.kind == ColumnKind::kDate || c.kind == ColumnKind::kAmount)
        for (const Hit& h : Scan(db, t, c.name, NonFinite(q))) set(h, std::nullopt, "Null");
      if (c.kind == ColumnKind::kDate) {
        for (const Hit& h : Scan(db, t, c.name, "typeof(" + q + ") = 'text'"))
          if (const auto v = DateFromText(h.text))
            set(h, *v,
                NumberText(*v) + " (" + RegionalSettings::German().ToText(Value::Date(*v)) + ")");
      } else if (c.kind == ColumnKind::kAmount) {
        for (const Hit& h : Scan(db, t, c.name, "typeof(" + q + ") = 'text'"))
          if (const auto v = AmountFromText(h.text)) set(h, *v, NumberText(*v));
      } else if (c.kind == ColumnKind::kYesNo) {
        for (const Hit& h :
             Scan(db, t, c.name, "typeof(" + q + ") IN ('integer', 'real') AND " + q + " = 1"))
          set(h, -1, "-1");
      }
    }
  }
  return changes;
}

}  // namespace kb6::check
