// The one source of time: local wall time for dates, a monotonic clock for
// waits. Tests set today's date and time through FixedClock.
#pragma once

namespace kb6 {

class Clock {
 public:
  virtual ~Clock() = default;
  // Local date and time as a day serial (0 = 30.12.1899).
  virtual double Now() const = 0;
  // Seconds on a clock that never jumps back.
  virtual double MonotonicSeconds() const = 0;
  // Today at midnight.
  double Today() const;
};

// Now() is defined per platform (src/platform/<platform>/).
class SystemClock final : public Clock {
 public:
  double Now() const override;
  double MonotonicSeconds() const override;
};

// A clock that stands still until a test moves it. Its monotonic reading
// follows the real one, so waits still end.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(double now) : now_(now) {}
  void Set(double now) { now_ = now; }
  double Now() const override { return now_; }
  double MonotonicSeconds() const override;

 private:
  double now_;
};

}  // namespace kb6
