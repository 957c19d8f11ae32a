// Local wall time on POSIX systems.
#include <chrono>
#include <ctime>

#include "common/clock.h"
#include "common/dates.h"

namespace kb6 {

double SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  return SerialFromCivil(
      {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
}

}  // namespace kb6
