#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "report/history_output.h"

namespace kb6::report {
namespace {

std::string Esc(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char ch : s) {
    switch (ch) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += ch;
    }
  }
  return out;
}

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

std::string Intervals(const Cycle& c) {
  std::string s;
  for (const std::string& i : c.intervals) s += (s.empty() ? "" : ", ") + i;
  return s.empty() ? "(kein Intervall)" : s;
}

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 1.5em; color: #222; }
h1 { font-size: 1.4em; margin-bottom: 0.2em; }
h2 { font-size: 1.05em; margin: 1.4em 0 0.3em; }
table { border-collapse: collapse; font-size: 0.9em; }
th, td { border-bottom: 1px solid #ddd; padding: 0.2em 0.7em; text-align: left; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
tr.error td { background: #fde2e2; color: #8a0000; font-weight: bold; }
.summary { font-size: 1.05em; }
.bad { color: #b00000; font-weight: bold; }
.guid { color: #777; font-size: 0.8em; font-family: monospace; }
svg text { font-size: 11px; fill: #444; }
)";

// Cycle durations per day, oldest day on the left; one bar per cycle.
void Chart(const History& h, std::ostream& o) {
  const double width = 820, height = 260, left = 56, right = 10, top = 18, bottom = 40;
  const double plot_w = width - left - right, plot_h = height - top - bottom;
  const double slot = plot_w / h.days;
  double longest = 1;
  for (const Cycle& c : h.cycles) longest = std::max(longest, c.Seconds());
  const double scale_top = longest * 1.1;
  o << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
    << "\" viewBox=\"0 0 " << width << " " << height
    << "\" role=\"img\" aria-label=\"Dauer der Zyklen je Tag\">\n";
  const double base = top + plot_h;
  for (int g = 0; g <= 2; ++g) {
    const double y = base - plot_h * g / 2.0 / 1.1;
    o << "<line x1=\"" << left << "\" x2=\"" << width - right << "\" y1=\"" << Num(y) << "\" y2=\""
      << Num(y) << "\" stroke=\"#ccc\"/>"
      << "<text x=\"" << left - 6 << "\" y=\"" << Num(y + 4) << "\" text-anchor=\"end\">"
      << FormatDuration(longest * g / 2.0) << "</text>\n";
  }
  const int label_every = std::max(1, static_cast<int>(std::ceil(44 / slot)));
  for (int d = 0; d < h.days; ++d) {
    const double day = h.first_day + d;
    const double x = left + d * slot;
    if ((h.days - 1 - d) % label_every == 0)
      o << "<text x=\"" << Num(x + slot / 2) << "\" y=\"" << Num(base + 16)
        << "\" text-anchor=\"middle\">" << DateText(day).substr(0, 6) << "</text>\n";
    std::vector<const Cycle*> on_day;
    for (const Cycle& c : h.cycles)
      if (c.start >= day && c.start < day + 1) on_day.push_back(&c);
    std::sort(on_day.begin(), on_day.end(),
              [](const Cycle* a, const Cycle* b) { return a->start < b->start; });
    if (on_day.empty()) continue;
    const double bar_w = std::min(slot * 0.8 / on_day.size(), 22.0);
    double bx = x + (slot - bar_w * on_day.size()) / 2;
    for (const Cycle* c : on_day) {
      const double bh = std::max(2.0, c->Seconds() / scale_top * plot_h);
      const bool bad = c->errors > 0 || !c->complete;
      o << "<rect class=\"bar" << (bad ? " error" : "") << "\" x=\"" << Num(bx) << "\" y=\""
        << Num(base - bh) << "\" width=\"" << Num(std::max(bar_w - 1, 1.0)) << "\" height=\""
        << Num(bh) << "\" fill=\"" << (bad ? "#d62728" : "#4a7fb5") << "\"><title>"
        << DateText(c->start) << " " << TimeText(c->start) << ", Dauer "
        << FormatDuration(c->Seconds()) << ", " << Esc(Intervals(*c))
        << (c->errors ? ", " + std::to_string(c->errors) + " Fehler" : "")
        << (c->complete ? "" : ", nicht abgeschlossen") << "</title></rect>";
      if (bad)
        o << "<text x=\"" << Num(bx + bar_w / 2) << "\" y=\"" << Num(base - bh - 4)
          << "\" text-anchor=\"middle\" class=\"bad\" style=\"fill:#b00000\">!</text>";
      o << "\n";
      bx += bar_w;
    }
  }
  o << "<line x1=\"" << left << "\" x2=\"" << left << "\" y1=\"" << top << "\" y2=\"" << base
    << "\" stroke=\"#888\"/>\n";
  if (h.cycles.empty())
    o << "<text x=\"" << Num(left + plot_w / 2) << "\" y=\"" << Num(top + plot_h / 2)
      << "\" text-anchor=\"middle\">Keine Zyklen in diesem Zeitraum</text>\n";
  o << "</svg>\n";
}

void EntryRow(std::ostream& o, const LogRow& r, const std::string& when, const std::string& dur,
              const std::string& count, const std::string& job) {
  o << "<tr" << (r.IsError() ? " class=\"error\"" : "") << "><td>" << when
    << "</td><td class=\"num\">" << dur << "</td><td class=\"num\">" << count << "</td><td>"
    << Esc(job) << "</td><td>" << (r.IsError() ? "FEHLER: " : "") << Esc(r.text) << "</td></tr>\n";
}

}  // namespace

std::string HistoryHtml(const History& h) {
  std::ostringstream o;
  const Cycle* longest = h.Longest();
  o << "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
    << "<title>KB6TRAY Laufprotokoll " << DateText(h.first_day) << " - " << DateText(h.today)
    << "</title>\n<style>" << kStyle << "</style>\n</head>\n<body>\n"
    << "<h1>KB6TRAY Laufprotokoll</h1>\n<p>" << DateText(h.first_day) << " bis "
    << DateText(h.today) << " (" << h.days << (h.days == 1 ? " Tag" : " Tage") << ")</p>\n"
    << "<p class=\"summary\">" << h.cycles.size() << (h.cycles.size() == 1 ? " Zyklus" : " Zyklen")
    << ", <span" << (h.CyclesWithErrors() ? " class=\"bad\"" : "") << ">" << h.CyclesWithErrors()
    << " mit Fehlern</span>";
  if (longest)
    o << ", längster Zyklus " << DateText(longest->start) << " " << TimeText(longest->start) << " ("
      << FormatDuration(longest->Seconds()) << ")";
  o << "</p>\n";
  Chart(h, o);
  o << "<h2>Zyklen</h2>\n<table class=\"cycles\">\n<thead><tr><th>Datum</th><th>Start</th>"
       "<th>Ende</th><th>Dauer</th><th>Intervalle</th><th>Fehler</th></tr></thead>\n<tbody>\n";
  for (const Cycle& c : h.cycles)
    o << "<tr" << (c.errors || !c.complete ? " class=\"error\"" : "") << "><td>"
      << DateText(c.start) << "</td><td>" << TimeText(c.start) << "</td><td>" << TimeText(c.end)
      << "</td><td class=\"num\">" << FormatDuration(c.Seconds()) << "</td><td>"
      << Esc(Intervals(c)) << (c.complete ? "" : " (nicht abgeschlossen)")
      << "</td><td class=\"num\">" << c.errors << "</td></tr>\n";
  o << "</tbody>\n</table>\n";
  for (const Cycle& c : h.cycles) {
    o << "<h2>" << DateText(c.start) << " " << TimeText(c.start) << " - " << TimeText(c.end)
      << ", Dauer " << FormatDuration(c.Seconds()) << ", " << Esc(Intervals(c));
    if (c.errors) o << ", <span class=\"bad\">" << c.errors << " Fehler</span>";
    o << "</h2>\n<p class=\"guid\">" << Esc(c.guid) << "</p>\n<table class=\"entries\">\n"
      << "<thead><tr><th>Zeit</th><th>Dauer</th><th>Anzahl</th><th>Job</th><th>Eintrag</th>"
         "</tr></thead>\n<tbody>\n";
    for (const Step& s : c.steps)
      EntryRow(o, s.row, TimeText(s.row.when), FormatDuration(s.seconds),
               s.count ? std::to_string(*s.count) : "", s.job);
    o << "</tbody>\n</table>\n";
  }
  if (!h.unassigned.empty()) {
    o << "<h2>Einträge ohne Laufkennung</h2>\n<table class=\"entries\">\n<thead><tr><th>Zeit</th>"
         "<th></th><th></th><th></th><th>Eintrag</th></tr></thead>\n<tbody>\n";
    for (const LogRow& r : h.unassigned)
      EntryRow(o, r, DateText(r.when) + " " + TimeText(r.when), "", "", "");
    o << "</tbody>\n</table>\n";
  }
  o << "</body>\n</html>\n";
  return o.str();
}

}  // namespace kb6::report
