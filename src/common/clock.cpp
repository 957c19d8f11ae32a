#include "common/clock.h"

#include <chrono>
#include <cmath>

namespace kb6 {

double Clock::Today() const { return std::trunc(Now()); }

double SystemClock::MonotonicSeconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double FixedClock::MonotonicSeconds() const { return SystemClock().MonotonicSeconds(); }

}  // namespace kb6
