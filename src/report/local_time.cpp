#include "report/local_time.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>

#include "common/dates.h"

namespace kb6::report {
namespace {

std::tm TmFrom(const CivilDateTime& c, int dst) {
  std::tm tm{};
  tm.tm_year = c.year - 1900;
  tm.tm_mon = c.month - 1;
  tm.tm_mday = c.day;
  tm.tm_hour = c.hour;
  tm.tm_isdst = dst;
  return tm;
}

// The offsets (instant minus local seconds) the local hour starting at
// `c` can have. Clock changes fall on whole hours, so one look per hour
// serves every time in it.
// The offset that reads a local time as UTC: the days from 30.12.1899 to
// 1.1.1970. Where the zone's rules give no answer, that reading is the best.
constexpr int64_t kOffsetAsUtc = -25569LL * 86400;

std::vector<int64_t> HourOffsets(const CivilDateTime& c, int64_t local) {
  std::vector<int64_t> out;
  for (int dst : {0, 1}) {
    std::tm tm = TmFrom(c, dst);
    const std::time_t t = std::mktime(&tm);
    // A reading that mktime had to move (the hour is not in that season) is none.
    if (t != static_cast<std::time_t>(-1) && tm.tm_isdst == dst && tm.tm_hour == c.hour &&
        tm.tm_mday == c.day)
      out.push_back(static_cast<int64_t>(t) - local);
  }
  if (out.empty()) {  // the hour a change to daylight saving time skips
    std::tm tm = TmFrom(c, -1);
    const std::time_t t = std::mktime(&tm);
    out.push_back(t == static_cast<std::time_t>(-1) ? kOffsetAsUtc
                                                    : static_cast<int64_t>(t) - local);
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

using OffsetCache = std::map<int64_t, std::vector<int64_t>>;

std::vector<int64_t> Instants(double serial, OffsetCache& cache) {
  // Local seconds since 30.12.1899, taken as if the zone were UTC.
  const int64_t local = std::llround(serial * 86400.0);
  const int64_t hour_start = local - ((local % 3600) + 3600) % 3600;
  auto it = cache.find(hour_start);
  if (it == cache.end()) {
    std::vector<int64_t> offsets;
    try {
      offsets = HourOffsets(CivilFromSerial(static_cast<double>(hour_start) / 86400.0), hour_start);
    } catch (...) {
      offsets = {kOffsetAsUtc};
    }
    it = cache.emplace(hour_start, std::move(offsets)).first;
  }
  // An offset is mktime's instant minus the local seconds: it carries the
  // shift from 1899 to 1970 with it.
  std::vector<int64_t> out;
  for (int64_t offset : it->second) out.push_back(local + offset);
  return out;
}

}  // namespace

std::vector<int64_t> LocalInstants(double serial) {
  OffsetCache cache;
  return Instants(serial, cache);
}

std::vector<int64_t> ClosestInstants(const std::vector<double>& serials) {
  OffsetCache cache;
  std::vector<std::vector<int64_t>> readings;
  std::vector<std::pair<int64_t, size_t>> all;  // (instant, row)
  for (size_t i = 0; i < serials.size(); ++i) {
    readings.push_back(Instants(serials[i], cache));
    for (int64_t t : readings.back()) all.emplace_back(t, i);
  }
  std::sort(all.begin(), all.end());
  // The narrowest window of instants that holds a reading of every row.
  std::vector<int> in_window(serials.size(), 0);
  size_t covered = 0, lo = 0, best_lo = 0, best_hi = all.empty() ? 0 : all.size() - 1;
  for (size_t hi = 0; hi < all.size(); ++hi) {
    if (in_window[all[hi].second]++ == 0) ++covered;
    while (covered == serials.size()) {
      if (all[hi].first - all[lo].first < all[best_hi].first - all[best_lo].first) {
        best_lo = lo;
        best_hi = hi;
      }
      if (--in_window[all[lo].second] == 0) --covered;
      ++lo;
    }
  }
  std::vector<int64_t> out;
  for (const std::vector<int64_t>& r : readings) {
    int64_t pick = r.front();
    for (int64_t t : r)
      if (!all.empty() && t >= all[best_lo].first && t <= all[best_hi].first) {
        pick = t;
        break;
      }
    out.push_back(pick);
  }
  return out;
}

}  // namespace kb6::report
