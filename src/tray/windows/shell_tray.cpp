#include "tray/windows/shell_tray.h"

#include <stdexcept>
#include <string>

#include "platform/windows/text_windows.h"

namespace kb6 {
namespace {

// Copies as much of `text` as fits into a fixed field with its terminator,
// never ending on the first half of a surrogate pair.
template <size_t N>
void CopyCut(wchar_t (&field)[N], const std::wstring& text) {
  size_t n = text.size() < N - 1 ? text.size() : N - 1;
  if (n > 0 && n < text.size() && IS_HIGH_SURROGATE(text[n - 1])) --n;
  text.copy(field, n);
  field[n] = L'\0';
}

}  // namespace

ShellTray::ShellTray(Win32Window& window) : window_(window) {
  taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
  if (taskbar_created_ != 0)
    window_.SetMessageHandler(taskbar_created_, [this](WPARAM, LPARAM) -> LRESULT {
      AddAgain();
      return 0;
    });
}

// The new shell knows no icon: one that was shown is added anew.
void ShellTray::AddAgain() {
  if (!shown_) return;
  shown_ = false;
  try {
    Add();
  } catch (const std::exception&) {
    // The shell is not ready yet; its next broadcast brings the icon back.
  }
}

ShellTray::~ShellTray() {
  try {
    Remove();
  } catch (const std::exception&) {
  }
  if (icon_) DestroyIcon(icon_);
  if (taskbar_created_ != 0) window_.SetMessageHandler(taskbar_created_, nullptr);
}

NOTIFYICONDATAW ShellTray::Base(UINT flags) const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window_.handle();
  data.uID = 1;
  data.uFlags = flags;
  return data;
}

void ShellTray::Notify(DWORD message, NOTIFYICONDATAW& data, const char* what) {
  if (!Shell_NotifyIconW(message, &data))
    throw std::runtime_error(std::string("Shell_NotifyIconW(") + what + ") failed");
}

void ShellTray::SetIcon() {
  HICON icon = static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(window_.icon_id()), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  if (!icon) throw std::runtime_error("the icon resource is missing");
  if (icon_) DestroyIcon(icon_);
  icon_ = icon;
  if (!shown_) return;
  NOTIFYICONDATAW data = Base(NIF_ICON);
  data.hIcon = icon_;
  Notify(NIM_MODIFY, data, "icon");
}

void ShellTray::SetToolTip(const std::string& text) {
  tool_tip_ = WideFromUtf8(text);
  if (!shown_) return;
  NOTIFYICONDATAW data = Base(NIF_TIP);
  CopyCut(data.szTip, tool_tip_);
  Notify(NIM_MODIFY, data, "tip");
}

void ShellTray::Add() {
  NOTIFYICONDATAW data = Base(NIF_MESSAGE | NIF_TIP | (icon_ ? NIF_ICON : 0));
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon_;
  CopyCut(data.szTip, tool_tip_);
  if (shown_) {
    Notify(NIM_MODIFY, data, "add");
    return;
  }
  Notify(NIM_ADD, data, "add");
  shown_ = true;
}

void ShellTray::ShowBalloon(const std::string& title, const std::string& text, int32_t kind) {
  NOTIFYICONDATAW data = Base(NIF_INFO);
  CopyCut(data.szInfoTitle, WideFromUtf8(title));
  CopyCut(data.szInfo, WideFromUtf8(text));
  // 1 information, 2 warning, 3 error, as the shell numbers them; anything
  // else shows no icon.
  data.dwInfoFlags = kind >= NIIF_INFO && kind <= NIIF_ERROR ? static_cast<DWORD>(kind) : NIIF_NONE;
  Notify(NIM_MODIFY, data, "balloon");
}

void ShellTray::Remove() {
  if (!shown_) return;
  shown_ = false;
  NOTIFYICONDATAW data = Base(0);
  Notify(NIM_DELETE, data, "remove");
}

}  // namespace kb6
