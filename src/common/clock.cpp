#include "common/clock.h"

#include <chrono>
#include <cmath>
#include <ctime>

#include "common/dates.h"

namespace kb6 {

double Clock::Today() const { return std::trunc(Now()); }

double SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  return SerialFromCivil(
      {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
}

double SystemClock::MonotonicSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double FixedClock::MonotonicSeconds() const { return SystemClock().MonotonicSeconds(); }

}  // namespace kb6
