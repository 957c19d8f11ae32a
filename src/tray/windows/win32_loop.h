// The Win32 message queue as the window's pump, SetTimer as its timer.
#pragma once

#include "tray/event_loop.h"
#include "tray/windows/win32_window.h"

namespace kb6 {

class Win32EventLoop final : public EventLoop {
 public:
  // Dispatches the thread's queued messages. A quit request met here is put
  // back for the outer message loop, which is the one it is meant for.
  void ProcessPending() override;
  void SleepMilliseconds(int ms) override;
  // The outer loop: dispatches until a quit request; returns its exit code.
  static int Run();
};

class Win32Timer final : public Timer {
 public:
  Win32Timer(Win32Window& window, unsigned interval_ms);
  ~Win32Timer() override;
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;
  void SetHandler(std::function<void()> on_tick) override { on_tick_ = std::move(on_tick); }
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }

 private:
  Win32Window& window_;
  unsigned interval_ms_;
  UINT_PTR id_;
  bool enabled_ = false;
  std::function<void()> on_tick_;
};

}  // namespace kb6
