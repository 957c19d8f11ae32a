#include "tray/windows/win32_loop.h"

#include <stdexcept>

namespace kb6 {

void Win32EventLoop::ProcessPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Win32EventLoop::SleepMilliseconds(int ms) { Sleep(static_cast<DWORD>(ms)); }

int Win32EventLoop::Run() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

Win32Timer::Win32Timer(Win32Window& window, unsigned interval_ms)
    : window_(window), interval_ms_(interval_ms) {
  // A tick that was already queued when the timer was disabled is dropped.
  id_ = window_.AddTimer([this] {
    if (enabled_ && on_tick_) on_tick_();
  });
}

Win32Timer::~Win32Timer() { window_.RemoveTimer(id_); }

void Win32Timer::SetEnabled(bool enabled) {
  KillTimer(window_.handle(), id_);
  enabled_ = false;
  if (!enabled) return;
  // SetTimer with the id of a running timer restarts its interval.
  if (SetTimer(window_.handle(), id_, interval_ms_, nullptr) == 0)
    throw std::runtime_error("SetTimer failed");
  enabled_ = true;
}

}  // namespace kb6
