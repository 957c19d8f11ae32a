#include "host/test_clock.h"

#include <cstdio>
#include <string>

#include "common/dates.h"

namespace kb6 {
namespace {

// Stands at a set instant and steps on by a fixed amount per reading; the
// monotonic reading stays real, so waits still end.
class SteppingClock final : public Clock {
 public:
  SteppingClock(double start, double step_days) : next_(start), step_(step_days) {}
  double Now() const override {
    const double now = next_;
    next_ += step_;
    return now;
  }
  double MonotonicSeconds() const override { return real_.MonotonicSeconds(); }

 private:
  mutable double next_;
  double step_;
  SystemClock real_;
};

}  // namespace

std::unique_ptr<Clock> MakeProcessClock(const char* test_now) {
  if (test_now != nullptr && *test_now != '\0') {
    CivilDateTime c;
    char sep = 0;
    unsigned step = 0;
    int used = 0;
    const std::string text = test_now;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &c.year, &c.month, &c.day,
                              &sep, &c.hour, &c.minute, &c.second, &used);
    bool ok = n == 7 && (sep == ' ' || sep == 'T') && IsValidCivilDate(c.year, c.month, c.day) &&
              c.hour < 24 && c.minute < 60 && c.second < 60 && c.hour >= 0 && c.minute >= 0 &&
              c.second >= 0;
    if (ok && static_cast<size_t>(used) < text.size()) {
      int more = 0;
      ok = std::sscanf(text.c_str() + used, "+%3u%n", &step, &more) == 1 &&
           static_cast<size_t>(used + more) == text.size();
    }
    if (ok) return std::make_unique<SteppingClock>(SerialFromCivil(c), step / 86400.0);
  }
  return std::make_unique<SystemClock>();
}

}  // namespace kb6
