#include <cstdio>
#include <string>

#include "common/dates.h"
#include "common/text.h"
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

// A text from the log table as the terminal may show it: every control
// character (C0, DEL, C1) and every byte that is no UTF-8 becomes a visible
// escape, so that a row can neither forge lines nor send escape sequences.
std::string Visible(const std::string& s) {
  std::string out;
  char buf[16];
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x20 || b == 0x7F) {
      switch (b) {
        case '\n':
          out += "\\n";
          break;
        case '\r':
          out += "\\r";
          break;
        case '\t':
          out += "\\t";
          break;
        default:
          std::snprintf(buf, sizeof buf, "\\x%02x", b);
          out += buf;
      }
      ++i;
      continue;
    }
    char32_t cp = 0;
    const size_t n = Utf8SequenceAt(s, i, cp);
    if (n == 0) {
      std::snprintf(buf, sizeof buf, "\\x%02x", b);
      out += buf;
      ++i;
    } else if (cp >= 0x80 && cp <= 0x9F) {
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp));
      out += buf;
      i += n;
    } else {
      out.append(s, i, n);
      i += n;
    }
  }
  return out;
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
    for (size_t i = 0; i < c.intervals.size(); ++i)
      out << (i ? ", " : "") << Visible(c.intervals[i]);
    if (c.intervals.empty()) out << "(kein Intervall)";
    if (!c.complete) out << "  NICHT ABGESCHLOSSEN";
    if (c.errors > 0) out << "  !! " << Plural(c.errors, "Fehler", "Fehler");
    out << "  " << Visible(c.guid) << "\n";
    out << "     Zeit    "
        << "  " << Right("Dauer", 7) << "  " << Right("Anzahl", 6) << "  Eintrag\n";
    for (const Step& s : c.steps) {
      out << (s.row.IsError() ? "  !! " : "     ") << TimeText(s.row.when) << "  "
          << Right(FormatDuration(s.seconds), 7) << "  "
          << Right(s.count ? std::to_string(*s.count) : "", 6) << "  "
          << (s.row.IsError() ? "FEHLER: " : "") << Visible(s.row.text) << "\n";
    }
  }
  if (!h.unassigned.empty()) {
    out << "\nEinträge ohne Laufkennung (vor der ersten Verbindung eines Zyklus geschrieben)\n";
    for (const LogRow& r : h.unassigned)
      out << (r.IsError() ? "  !! " : "     ") << DateText(r.when) << "  " << TimeText(r.when)
          << "  " << (r.IsError() ? "FEHLER: " : "") << Visible(r.text) << "\n";
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
