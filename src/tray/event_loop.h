// The window's timer and message pump, free of any toolkit's headers.
#pragma once

#include <functional>

namespace kb6 {

class EventLoop {
 public:
  virtual ~EventLoop() = default;
  // Dispatches every pending event without blocking.
  virtual void ProcessPending() = 0;
  virtual void SleepMilliseconds(int ms) = 0;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetHandler(std::function<void()> on_tick) = 0;
  // Enabling (re)starts the interval; the first tick comes one interval later.
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

}  // namespace kb6
