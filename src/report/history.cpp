#include "report/history.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

#include "common/dates.h"
#include "common/text.h"
#include "db/database.h"
#include "report/local_time.h"

namespace kb6::report {
namespace {

constexpr const char* kIntervalHead = "Die Datenreorganisation ";
constexpr const char* kIntervalStart = " wird gestartet ...";
constexpr const char* kIntervalEnd = " ist abgeschlossen.";

// The result lines name no job; a piece of each text tells them apart.
// Longer pieces first: "Adresse(n) aktualisiert." ends several of them.
struct JobText {
  const char* piece;
  const char* job;
};
constexpr JobText kJobTexts[] = {
    {"die Anzahl Mitglieder aktualisiert", "gfUpdateAbteilungenAnzahl"},
    {"der Spendeart-Text aktualisiert", "gfUpdateSpendenliste"},
    {"die Übersicht aktualisiert", "gfRefreshAbteilungsuebersicht"},
    {"wegen der Anzahl Abteilungen aktualisiert", "gfRefreshAnzahlAbteilungen"},
    {"im Komplettlauf aktualisiert", "gfUpdateAdressenKomplett"},
    {"wegen der Anzahl Funktionen", "gfUpdateFeldAnzahlAdressen"},
    {"Abteilung(en) aktualisiert.", "gfUpdateAbteilungen"},
    {"Adresse(n) aktualisiert.", "gfUpdateAdressen"},
    {"Überprüfung von diversen Programmdaten", "DailyMaintenance"},
};

bool StartsWith(const std::string& s, const std::string& p) { return s.rfind(p, 0) == 0; }
bool EndsWith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

// The interval named by a start or end line, else "".
std::string IntervalOf(const std::string& text, const std::string& tail) {
  if (!StartsWith(text, kIntervalHead) || !EndsWith(text, tail)) return "";
  const size_t head = std::char_traits<char>::length(kIntervalHead);
  if (text.size() <= head + tail.size()) return "";
  return text.substr(head, text.size() - head - tail.size());
}

std::vector<int64_t> Numbers(const std::string& text, size_t max_digits) {
  std::vector<int64_t> out;
  for (size_t i = 0; i < text.size();) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    size_t j = i;
    while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) ++j;
    if (j - i > max_digits) return {};
    out.push_back(std::stoll(text.substr(i, j - i)));
    i = j;
  }
  return out;
}

void Describe(Step& s) {
  const std::string& text = s.row.text;
  if (s.row.IsError()) return;
  for (const JobText& j : kJobTexts) {
    if (text.find(j.piece) == std::string::npos) continue;
    s.job = j.job;
    break;
  }
  if (!s.job.empty() && StartsWith(text, "Es wurde")) {
    const std::vector<int64_t> n = Numbers(text, 12);
    if (!n.empty()) s.count = n.front();
  }
}

Cycle MakeCycle(std::vector<LogRow> rows) {
  // Entry times are local wall-clock times: their order and the time between
  // them come from the instants they stand for, so that a cycle across a
  // change to or from daylight saving time keeps its real length.
  std::vector<double> serials;
  for (const LogRow& r : rows) serials.push_back(r.when);
  const std::vector<int64_t> instants = ClosestInstants(serials);
  std::vector<size_t> order(rows.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    return instants[a] != instants[b] ? instants[a] < instants[b] : rows[a].id < rows[b].id;
  });
  Cycle c;
  c.guid = rows[order.front()].guid;
  c.start = rows[order.front()].when;
  c.end = rows[order.back()].when;
  c.seconds = static_cast<double>(instants[order.back()] - instants[order.front()]);
  std::vector<std::string> open;
  for (size_t i = 0; i < order.size(); ++i) {
    Step s;
    s.row = std::move(rows[order[i]]);
    if (i > 0) s.seconds = static_cast<double>(instants[order[i]] - instants[order[i - 1]]);
    if (s.row.IsError()) ++c.errors;
    if (const std::string started = IntervalOf(s.row.text, kIntervalStart); !started.empty()) {
      c.intervals.push_back(started);
      open.push_back(started);
    } else if (const std::string ended = IntervalOf(s.row.text, kIntervalEnd); !ended.empty()) {
      std::erase(open, ended);
    }
    Describe(s);
    c.steps.push_back(std::move(s));
  }
  c.complete = open.empty();
  return c;
}

}  // namespace

int History::CyclesWithErrors() const {
  return static_cast<int>(
      std::count_if(cycles.begin(), cycles.end(), [](const Cycle& c) { return c.errors > 0; }));
}

const Cycle* History::Longest() const {
  const Cycle* best = nullptr;
  for (const Cycle& c : cycles)
    if (!best || c.Seconds() > best->Seconds()) best = &c;
  return best;
}

History BuildHistory(std::vector<LogRow> rows, double now, int days) {
  History h;
  h.days = std::max(days, 1);
  h.today = DatePart(now);
  h.first_day = h.today - (h.days - 1);
  std::map<std::string, std::vector<LogRow>> by_guid;
  for (LogRow& r : rows) {
    if (r.guid.empty()) {
      if (r.when >= h.first_day) h.unassigned.push_back(std::move(r));
    } else {
      by_guid[r.guid].push_back(std::move(r));
    }
  }
  for (auto& [guid, entries] : by_guid) {
    Cycle c = MakeCycle(std::move(entries));
    if (c.start >= h.first_day) h.cycles.push_back(std::move(c));
  }
  std::stable_sort(h.cycles.begin(), h.cycles.end(),
                   [](const Cycle& a, const Cycle& b) { return a.start > b.start; });
  std::stable_sort(h.unassigned.begin(), h.unassigned.end(), [](const LogRow& a, const LogRow& b) {
    return a.when != b.when ? a.when > b.when : a.id > b.id;
  });
  return h;
}

std::optional<double> EntryTime(const std::string& datum, const std::string& uhrzeit) {
  const std::vector<int64_t> d = Numbers(datum, 4);
  const std::vector<int64_t> t = Numbers(uhrzeit, 2);
  if (d.size() != 3 || t.size() < 2 || t.size() > 3) return std::nullopt;
  CivilDateTime c;
  const bool year_first = d[0] > 31;  // no day is above 31
  c.year = static_cast<int>(year_first ? d[0] : d[2]);
  c.month = static_cast<int>(d[1]);
  c.day = static_cast<int>(year_first ? d[2] : d[0]);
  c.hour = static_cast<int>(t[0]);
  c.minute = static_cast<int>(t[1]);
  c.second = t.size() == 3 ? static_cast<int>(t[2]) : 0;
  if (!IsValidCivilDate(c.year, c.month, c.day) || c.hour > 23 || c.minute > 59 || c.second > 59)
    return std::nullopt;
  return SerialFromCivil(c);
}

std::string FormatDuration(double seconds) {
  const int64_t s = std::llround(std::max(seconds, 0.0));
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", static_cast<long long>(s / 3600),
                  static_cast<long long>(s / 60 % 60), static_cast<long long>(s % 60));
  else
    std::snprintf(buf, sizeof buf, "%lld:%02lld", static_cast<long long>(s / 60),
                  static_cast<long long>(s % 60));
  return buf;
}

std::string ReadLogRows(Database& db, const RegionalSettings& r, std::vector<LogRow>& rows) {
  Recordset rs;
  std::string sql =
      "SELECT reoID, reoTimeStamp, reoDatum, reoUhrzeit, reoEintrag, reoTyp, reoGUID FROM "
      "tblALLGReorganisationProtokoll";
  const std::string error = db.OpenRecordset(sql, rs);
  if (!error.empty()) return error;
  // One odd row never ends the report: each field falls back on its own.
  auto number = [&](const Value& v) -> double {
    try {
      return v.IsNull() || v.IsEmpty() ? 0 : NumericValueOf(r, v);
    } catch (const std::exception&) {
      return 0;
    }
  };
  for (; !rs.EndOfData(); rs.MoveNext()) {
    LogRow row;
    const double id = number(rs.Field("reoID"));
    row.id = std::isfinite(id) && std::fabs(id) < 9e15 ? static_cast<int64_t>(id) : 0;
    const double type = number(rs.Field("reoTyp"));
    row.type = type == 1 ? 1 : type == 2 ? 2 : 0;
    row.text = r.TextOrEmpty(rs.Field("reoEintrag"));
    row.guid = TrimBlanks(r.TextOrEmpty(rs.Field("reoGUID")));
    std::optional<double> when =
        EntryTime(r.TextOrEmpty(rs.Field("reoDatum")), r.TextOrEmpty(rs.Field("reoUhrzeit")));
    if (!when) {
      try {
        const Value& stamp = rs.Field("reoTimeStamp");
        if (!stamp.IsNull() && !stamp.IsEmpty()) when = r.ToDate(stamp);
      } catch (const std::exception&) {
      }
    }
    // A row with no readable time has no place in a span of days.
    if (!when || !IsDateSerialInRange(*when)) continue;
    row.when = *when;
    rows.push_back(std::move(row));
  }
  Database::CloseRecordset(rs);
  return "";
}

}  // namespace kb6::report
