#include "tray/glib_loop.h"

#include <exception>
#include <string>

#include "common/operator_notice.h"

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
  TellOperatorIfThrows("Zyklus abgebrochen", [&] {
    if (timer->on_tick_) timer->on_tick_();
  });
  // A handler that disabled the timer (and perhaps enabled it again) has
  // already removed this source; GLib then drops it whatever is returned
  // here. Otherwise the source stays and fires again.
  return G_SOURCE_CONTINUE;
}

}  // namespace kb6
