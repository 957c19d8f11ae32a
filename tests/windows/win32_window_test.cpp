// The Win32 layer on a real window under Wine with Xvfb: the PeekMessage
// pump, and the notification icon at a real shell (Wine's explorer).
#include "tray/windows/win32_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "host/windows/resource.h"
#include "tray/windows/shell_tray.h"
#include "tray/windows/win32_loop.h"

namespace kb6::test {
namespace {

// The shell's answer to `message` about the window's icon: a change
// (NIM_MODIFY) succeeds for an icon it knows and fails for one it lacks.
bool NotifyShell(const Win32Window& window, DWORD message) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window.handle();
  data.uID = 1;
  data.uFlags = NIF_MESSAGE;
  data.uCallbackMessage = ShellTray::kCallbackMessage;
  return Shell_NotifyIconW(message, &data) != FALSE;
}

// A restarting shell forgets every icon and broadcasts "TaskbarCreated".
void ShellRestarts(const Win32Window& window) {
  NotifyShell(window, NIM_DELETE);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0,
                      SMTO_ABORTIFHUNG, 5000, &result);
}

TEST(ShellRestart, TaskbarCreatedBringsBackOnlyAShownIcon) {
  Win32Window window(L"Korbinar Systemüberwachung", IDI_KB6TRAY);
  ShellTray tray(window);
  tray.SetIcon();
  tray.Add();
  ASSERT_TRUE(NotifyShell(window, NIM_MODIFY));

  ShellRestarts(window);
  EXPECT_TRUE(NotifyShell(window, NIM_MODIFY));

  // Texts beyond the shell's fields are cut, not refused.
  EXPECT_NO_THROW(tray.SetToolTip(std::string(200, 'a') + "äöü😀"));
  EXPECT_NO_THROW(tray.ShowBalloon("Hinweis", std::string(400, 'x'), 0));

  tray.Remove();
  ShellRestarts(window);
  EXPECT_FALSE(NotifyShell(window, NIM_MODIFY));
}

// The progress wait's pump serves the window's messages, and a quit request
// that arrives meanwhile stays for the main loop.
TEST(Win32Loop, ProcessPendingServesMessagesAndKeepsAQuitRequest) {
  Win32Window window{L"Korbinar Systemüberwachung", IDI_KB6TRAY};
  Win32EventLoop loop;
  bool closed = false;
  window.SetMessageHandler(WM_CLOSE, [&](WPARAM, LPARAM) -> LRESULT {
    closed = true;
    return 0;
  });
  PostMessageW(window.handle(), WM_CLOSE, 0, 0);
  PostQuitMessage(7);
  loop.ProcessPending();
  EXPECT_TRUE(closed);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
}  // namespace kb6::test
