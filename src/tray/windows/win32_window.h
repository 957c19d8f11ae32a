// fMain's Win32 side: a top-level window that is never shown. It receives the
// timers' ticks, the notification icon's messages and close requests; a COM
// host can own one beside its class factories just as the command-line host
// does.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

namespace kb6 {

class Win32Window {
 public:
  // The window's icon is the resource `icon_id` of the executable. Throws
  // std::runtime_error when no window can be made (no desktop to put it on).
  Win32Window(const std::wstring& caption, int icon_id);
  ~Win32Window();
  Win32Window(const Win32Window&) = delete;
  Win32Window& operator=(const Win32Window&) = delete;

  HWND handle() const { return hwnd_; }
  int icon_id() const { return icon_id_; }

  // The handler of window message `message` (WM_CLOSE, the session's end,
  // a registered message, ...), replacing an earlier one; its result is the
  // message's. Messages without a handler get the default processing.
  using MessageHandler = std::function<LRESULT(WPARAM, LPARAM)>;
  void SetMessageHandler(UINT message, MessageHandler handler);

  // A new timer identifier of this window and the handler of its WM_TIMER.
  UINT_PTR AddTimer(std::function<void()> on_tick);
  void RemoveTimer(UINT_PTR id);

 private:
  static ATOM RegisterWindowClass(int icon_id);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT msg, WPARAM wparam, LPARAM lparam);

  HWND hwnd_ = nullptr;
  int icon_id_;
  std::map<UINT, MessageHandler> handlers_;
  std::map<UINT_PTR, std::function<void()>> timers_;
  UINT_PTR next_timer_ = 1;
};

}  // namespace kb6
