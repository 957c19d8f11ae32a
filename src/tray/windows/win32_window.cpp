#include "tray/windows/win32_window.h"

#include <stdexcept>

namespace kb6 {
namespace {

constexpr wchar_t kClassName[] = L"KB6TRAY_fMain";

}  // namespace

ATOM Win32Window::RegisterWindowClass(int icon_id) {
  static const ATOM atom = [icon_id] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32Window::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(icon_id));
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

Win32Window::Win32Window(const std::wstring& caption, int icon_id) : icon_id_(icon_id) {
  if (RegisterWindowClass(icon_id) == 0) throw std::runtime_error("RegisterClassExW failed");
  // A top-level window rather than a message-only one: the shell sends its
  // broadcasts (task bar restarts, session end) to top-level windows only.
  // Messages before this point (creation) go to the default procedure.
  hwnd_ = CreateWindowExW(0, kClassName, caption.c_str(), WS_OVERLAPPEDWINDOW | WS_MINIMIZE,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                          nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!hwnd_) throw std::runtime_error("CreateWindowExW failed");
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32Window::~Win32Window() {
  for (const auto& [id, handler] : timers_) KillTimer(hwnd_, id);
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  DestroyWindow(hwnd_);
}

void Win32Window::SetMessageHandler(UINT message, MessageHandler handler) {
  handlers_[message] = std::move(handler);
}

UINT_PTR Win32Window::AddTimer(std::function<void()> on_tick) {
  const UINT_PTR id = next_timer_++;
  timers_[id] = std::move(on_tick);
  return id;
}

void Win32Window::RemoveTimer(UINT_PTR id) {
  KillTimer(hwnd_, id);
  timers_.erase(id);
}

LRESULT CALLBACK Win32Window::WindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wparam, lparam);
  return self->Handle(msg, wparam, lparam);
}

LRESULT Win32Window::Handle(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_TIMER: {
      // A copy: the handler may remove or replace its own timer.
      const auto it = timers_.find(wparam);
      if (it == timers_.end()) return 0;
      const std::function<void()> handler = it->second;
      if (handler) handler();
      return 0;
    }
    default: {
      const auto it = handlers_.find(msg);
      if (it == handlers_.end() || !it->second) return DefWindowProcW(hwnd_, msg, wparam, lparam);
      // A copy: the handler may replace itself.
      const MessageHandler handler = it->second;
      return handler(wparam, lparam);
    }
  }
}

}  // namespace kb6
