// The PeekMessage pump on a real Win32 window (under Wine with Xvfb). The
// timer: the COM client's cycles; the icon: shell_restart_test.cpp.
#include "tray/windows/win32_loop.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "host/windows/resource.h"
#include "tray/windows/win32_window.h"

namespace kb6::test {
namespace {

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
  EXPECT_TRUE(IsWindow(window.handle()));  // a close request leaves the window
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 7u);
}

}  // namespace
}  // namespace kb6::test
