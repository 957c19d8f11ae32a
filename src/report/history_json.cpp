#include <cmath>
#include <nlohmann/json.hpp>

#include "report/history_output.h"

namespace kb6::report {
namespace {

using nlohmann::ordered_json;

ordered_json Entry(const LogRow& r) {
  return {{"time", IsoText(r.when)}, {"type", r.type}, {"error", r.IsError()}, {"text", r.text}};
}

}  // namespace

std::string HistoryJson(const History& h) {
  ordered_json cycles = ordered_json::array();
  for (const Cycle& c : h.cycles) {
    ordered_json entries = ordered_json::array();
    for (const Step& s : c.steps) {
      ordered_json e = Entry(s.row);
      e["seconds"] = std::llround(s.seconds);
      e["job"] = s.job.empty() ? ordered_json(nullptr) : ordered_json(s.job);
      e["count"] = s.count ? ordered_json(*s.count) : ordered_json(nullptr);
      entries.push_back(std::move(e));
    }
    cycles.push_back({{"run_id", c.guid},
                      {"date", IsoText(c.start).substr(0, 10)},
                      {"start", IsoText(c.start)},
                      {"end", IsoText(c.end)},
                      {"seconds", std::llround(c.Seconds())},
                      {"intervals", c.intervals},
                      {"complete", c.complete},
                      {"errors", c.errors},
                      {"entries", std::move(entries)}});
  }
  ordered_json unassigned = ordered_json::array();
  for (const LogRow& r : h.unassigned) unassigned.push_back(Entry(r));
  ordered_json longest = nullptr;
  if (const Cycle* l = h.Longest())
    longest = {
        {"run_id", l->guid}, {"start", IsoText(l->start)}, {"seconds", std::llround(l->Seconds())}};
  const ordered_json doc = {{"from", IsoText(h.first_day).substr(0, 10)},
                            {"to", IsoText(h.today).substr(0, 10)},
                            {"days", h.days},
                            {"summary",
                             {{"cycles", h.cycles.size()},
                              {"cycles_with_errors", h.CyclesWithErrors()},
                              {"longest", std::move(longest)},
                              {"without_run_id", h.unassigned.size()}}},
                            {"cycles", std::move(cycles)},
                            {"without_run_id", std::move(unassigned)}};
  // Texts come from the file as they are; bytes that are no UTF-8 become U+FFFD.
  return doc.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace kb6::report
