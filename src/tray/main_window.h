// fMain: the hidden main window. It owns the timer that drives the cycle and
// the tray icon, and turns the jobs' progress events into the tool tip.
#pragma once

#include <functional>
#include <string>

#include "common/clock.h"
#include "scheduler/timer_cycle.h"
#include "tray/event_loop.h"
#include "tray/tray_icon.h"

namespace kb6 {

class MainWindow final : public CycleWindow {
 public:
  MainWindow(TrayIcon& tray, Timer& timer, EventLoop& loop, const Clock& clock);

  // The cycle the timer runs; set before Load.
  void SetTickHandler(std::function<void()> on_tick);
  // Called after the window has unloaded (the host ends then).
  void SetUnloadedHandler(std::function<void()> on_unloaded) {
    on_unloaded_ = std::move(on_unloaded);
  }

  bool Loaded() const { return loaded_; }
  // Loading runs Form_Load and starts the timer.
  void Load();

  // CycleWindow
  void SetTimerEnabled(bool enabled) override { timer_.SetEnabled(enabled); }
  void SetToolTip(const std::string& text) override { tray_.SetToolTip(text); }
  void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) override {
    tray_.ShowBalloon(title, text, kind);
  }
  void Unload() override;

  // The wait after each progress text, one second (just over it), so that an
  // operator can read each text. Tests and benchmarks shorten it.
  void SetProgressPause(int32_t seconds) { progress_pause_ = seconds; }

  // myAufgaben_SetTrayText
  void SetTrayText(const std::string& ueText, const std::string& uePart) override;

  // Sleeps 1 ms and dispatches pending events until strictly more than
  // `seconds` have passed on the monotonic clock.
  void WaitSeconds(int32_t seconds);

 private:
  void Form_Load();
  void Form_QueryUnload();

  TrayIcon& tray_;
  Timer& timer_;
  EventLoop& loop_;
  const Clock& clock_;
  bool loaded_ = false;
  int32_t progress_pause_ = 1;
  std::function<void()> on_unloaded_;
};

}  // namespace kb6
