#include <algorithm>
#include <string>

#include "check/club_check.h"

namespace kb6::check {
namespace {

std::string Pad(const std::string& s, size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string Right(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

}  // namespace

void WriteFindings(const std::vector<Finding>& findings, std::ostream& out) {
  if (findings.empty()) {
    out << "Keine Befunde.\n";
    return;
  }
  size_t width = 12;
  for (const Finding& f : findings) width = std::max(width, f.column.size());
  // Grouped by table in the order the tables were first met; the file last.
  std::vector<std::string> order;
  for (const Finding& f : findings)
    if (!f.table.empty() && std::find(order.begin(), order.end(), f.table) == order.end())
      order.push_back(f.table);
  order.push_back("");
  int64_t total = 0, fixable = 0;
  for (const std::string& table : order) {
    bool head = false;
    for (const Finding& f : findings) {
      if (f.table != table) continue;
      if (!head) out << (table.empty() ? "Datei" : table) << "\n";
      head = true;
      out << "  " << Pad(f.column, width) << Right(std::to_string(f.count), 7) << "  " << f.problem;
      if (f.fixable > 0) out << " (" << f.fixable << " davon behebt --fix)";
      out << "\n";
      if (!f.examples.empty()) {
        out << "  " << std::string(width + 9, ' ') << f.key_name << ": ";
        for (size_t i = 0; i < f.examples.size(); ++i) out << (i ? ", " : "") << f.examples[i];
        if (static_cast<int64_t>(f.examples.size()) < f.count) out << ", ...";
        out << "\n";
      }
      ++total;
      fixable += f.fixable > 0 ? 1 : 0;
    }
  }
  out << "\n" << total << (total == 1 ? " Befund" : " Befunde");
  if (fixable > 0) out << ", " << fixable << " davon ganz oder teilweise mit --fix behebbar";
  out << "\n";
}

void WriteChanges(const std::vector<Change>& changes, std::ostream& out) {
  for (const Change& c : changes)
    out << "geändert: " << c.table << "." << c.column << " " << c.key << ": " << c.before << " -> "
        << c.after << "\n";
  out << changes.size() << (changes.size() == 1 ? " Änderung" : " Änderungen") << " geschrieben.\n";
}

}  // namespace kb6::check
