// The notification icon at a real shell (Wine's explorer) under Xvfb: texts
// beyond the shell's fields, a balloon, and a shell that restarts, forgets
// every icon and broadcasts "TaskbarCreated": the icon that was shown comes
// back, one that was removed stays away.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "host/windows/resource.h"
#include "tray/windows/shell_tray.h"
#include "tray/windows/win32_window.h"

namespace kb6::test {
namespace {

NOTIFYICONDATAW IconOf(const Win32Window& window) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = window.handle();
  data.uID = 1;
  return data;
}

// The shell answers a change of an icon it knows, and refuses one it lacks.
bool ShellKnowsIcon(const Win32Window& window) {
  NOTIFYICONDATAW data = IconOf(window);
  data.uFlags = NIF_MESSAGE;
  data.uCallbackMessage = ShellTray::kCallbackMessage;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void ShellRestarts(const Win32Window& window) {
  NOTIFYICONDATAW data = IconOf(window);
  Shell_NotifyIconW(NIM_DELETE, &data);
  DWORD_PTR result = 0;
  SendMessageTimeoutW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0,
                      SMTO_ABORTIFHUNG, 5000, &result);
}

TEST(ShellRestart, TaskbarCreatedBringsBackOnlyAShownIcon) {
  Win32Window window(L"Korbinar Systemüberwachung", IDI_KB6TRAY);
  ShellTray tray(window);
  tray.SetIcon();
  tray.SetToolTip("In Arbeit (01TG): \r\nDatensatz 100 von 300 wird verarbeitet ...");
  tray.Add();
  ASSERT_TRUE(ShellKnowsIcon(window));

  ShellRestarts(window);
  EXPECT_TRUE(ShellKnowsIcon(window));
  EXPECT_TRUE(tray.Shown());

  // Texts beyond the shell's fields are cut, not refused.
  EXPECT_NO_THROW(tray.SetToolTip(std::string(200, 'a') + "äöü😀"));
  EXPECT_NO_THROW(tray.ShowBalloon("Hinweis", std::string(400, 'x'), 0));
  EXPECT_NO_THROW(tray.ShowBalloon("Hinweis", "Die Datenreorganisation wird gestartet ...", 1));

  tray.Remove();
  ShellRestarts(window);
  EXPECT_FALSE(ShellKnowsIcon(window));
  EXPECT_FALSE(tray.Shown());
  EXPECT_NO_THROW(tray.Remove());  // removing a removed icon asks nothing of the shell
  tray.Add();                      // loading again shows it again
  EXPECT_TRUE(ShellKnowsIcon(window));
}

}  // namespace
}  // namespace kb6::test
