// The GLib main context as the window's message pump and timer.
#pragma once

#include <glib.h>

#include "tray/event_loop.h"

namespace kb6 {

class GlibEventLoop final : public EventLoop {
 public:
  void ProcessPending() override;
  void SleepMilliseconds(int ms) override;
};

class GlibTimer final : public Timer {
 public:
  explicit GlibTimer(unsigned interval_ms) : interval_ms_(interval_ms) {}
  ~GlibTimer() override;
  GlibTimer(const GlibTimer&) = delete;
  GlibTimer& operator=(const GlibTimer&) = delete;
  void SetHandler(std::function<void()> on_tick) override { on_tick_ = std::move(on_tick); }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return source_ != 0; }

 private:
  static gboolean OnTick(gpointer self);
  unsigned interval_ms_;
  guint source_ = 0;
  std::function<void()> on_tick_;
};

}  // namespace kb6
