#include "tray/glib_loop.h"

namespace kb6 {

void GlibEventLoop::ProcessPending() {
  // Iterating the default context from inside a callback is allowed; this is
  // how host calls and signals are served while a job waits.
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

void GlibEventLoop::SleepMilliseconds(int ms) { g_usleep(static_cast<gulong>(ms) * 1000); }

GlibTimer::~GlibTimer() { SetEnabled(false); }

void GlibTimer::SetEnabled(bool enabled) {
  if (source_ != 0) {
    g_source_remove(source_);
    source_ = 0;
  }
  if (enabled) source_ = g_timeout_add(interval_ms_, &GlibTimer::OnTick, this);
}

gboolean GlibTimer::OnTick(gpointer self) {
  auto* timer = static_cast<GlibTimer*>(self);
  if (timer->on_tick_) timer->on_tick_();
  // The handler disables and re-enables the timer, which replaces this source;
  // keep it only when it is still the current one.
  return G_SOURCE_CONTINUE;
}

}  // namespace kb6
