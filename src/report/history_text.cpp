#include <cstdio>
#include <string>

#include "common/dates.h"
#include "report/history_output.h"

namespace kb6::report {
namespace {

std::string Fixed(const char* format, int a, int b, int c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, a, b, c);
  return buf;
}

// Right-aligned in `width` columns; the texts here are ASCII.
std::string Right(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

std::string Plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string DateText(double serial) {
  const CivilDateTime c = CivilFromSerial(serial);
  return Fixed("%02d.%02d.%04d", c.day, c.month, c.year);
}

std::string TimeText(double serial) {
  const CivilDateTime c = CivilFromSerial(serial);
  return Fixed("%02d:%02d:%02d", c.hour, c.minute, c.second);
}

std::string IsoText(double serial) {
  const CivilDateTime c = CivilFromSerial(serial);
  return Fixed("%04d-%02d-%02d", c.year, c.month, c.day) + "T" + TimeText(serial);
}

void WriteHistoryText(const History& h, std::ostream& out) {
  out << "Laufprotokoll vom " << DateText(h.first_day) << " bis " << DateText(h.today) << " ("
      << Plural(h.days, "Tag", "Tage") << ")\n";
  for (const Cycle& c : h.cycles) {
    out << "\n"
        << DateText(c.start) << "  " << TimeText(c.start) << " - " << TimeText(c.end) << "  Dauer "
        << FormatDuration(c.Seconds()) << "  ";
    for (size_t i = 0; i < c.intervals.size(); ++i) out << (i ? ", " : "") << c.intervals[i];
    if (c.intervals.empty()) out << "(kein Intervall)";
    if (!c.complete) out << "  NICHT ABGESCHLOSSEN";
    if (c.errors > 0) out << "  !! " << Plural(c.errors, "Fehler", "Fehler");
    out << "  " << c.guid << "\n";
    out << "     Zeit    "
        << "  " << Right("Dauer", 7) << "  " << Right("Anzahl", 6) << "  Eintrag\n";
    for (const Step& s : c.steps) {
      out << (s.row.IsError() ? "  !! " : "     ") << TimeText(s.row.when) << "  "
          << Right(FormatDuration(s.seconds), 7) << "  "
          << Right(s.count ? std::to_string(*s.count) : "", 6) << "  "
          << (s.row.IsError() ? "FEHLER: " : "") << s.row.text << "\n";
    }
  }
  if (!h.unassigned.empty()) {
    out << "\nEinträge ohne Laufkennung (vor der ersten Verbindung eines Zyklus geschrieben)\n";
    for (const LogRow& r : h.unassigned)
      out << (r.IsError() ? "  !! " : "     ") << DateText(r.when) << "  " << TimeText(r.when)
          << "  " << (r.IsError() ? "FEHLER: " : "") << r.text << "\n";
  }
  out << "\n"
      << Plural(static_cast<int>(h.cycles.size()), "Zyklus", "Zyklen") << ", "
      << h.CyclesWithErrors() << " mit Fehlern";
  if (const Cycle* l = h.Longest())
    out << ", längster Zyklus " << DateText(l->start) << " " << TimeText(l->start) << " ("
        << FormatDuration(l->Seconds()) << ")";
  if (!h.unassigned.empty()) out << ", " << h.unassigned.size() << " Einträge ohne Laufkennung";
  out << "\n";
}

}  // namespace kb6::report
