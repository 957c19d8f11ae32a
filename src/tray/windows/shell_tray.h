// The notification icon through the shell's Shell_NotifyIconW: the window's
// own icon, a tool tip of up to two lines, balloons with the information
// icon. Texts are UTF-8 here and UTF-16 at the shell; texts longer than the
// shell's fields (tool tip 127, balloon title 63, text 255 characters) are cut.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "tray/tray_icon.h"
#include "tray/windows/win32_window.h"

namespace kb6 {

class ShellTray final : public TrayIcon {
 public:
  // Operations throw std::runtime_error when the shell refuses them. When
  // the shell restarts (its task bar broadcasts "TaskbarCreated"), a shown
  // icon is added again with its current tool tip.
  explicit ShellTray(Win32Window& window);
  ~ShellTray() override;  // removes the icon when it is shown
  ShellTray(const ShellTray&) = delete;
  ShellTray& operator=(const ShellTray&) = delete;

  void SetIcon() override;
  void SetIntegerSetting(int32_t) override {}
  void SetToolTip(const std::string& text) override;
  void Add() override;
  void SetBooleanSetting(bool) override {}
  void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) override;
  void Remove() override;

  bool Shown() const { return shown_; }

  // The window message the shell sends for mouse events on the icon.
  static constexpr UINT kCallbackMessage = WM_APP + 1;

 private:
  NOTIFYICONDATAW Base(UINT flags) const;
  void AddAgain();
  void Notify(DWORD message, NOTIFYICONDATAW& data, const char* what);

  Win32Window& window_;
  UINT taskbar_created_ = 0;
  HICON icon_ = nullptr;
  std::wstring tool_tip_;
  bool shown_ = false;
};

}  // namespace kb6
