// KB6TRAY.exe ended as Windows ends programs.
#include <gtest/gtest.h>

#include <string>

#include "com_client_support.h"

namespace kb6test {
namespace {

Server OnClub(const Scratch& scratch, const wchar_t* timer_ms, const wchar_t* pause) {
  return Server(L"--access-db \"" + scratch.club + L"\" --datenpfad \"" + scratch.dir + L"\"",
                {{L"KB6TRAY_TIMER_MS", timer_ms}, {L"KB6TRAY_PROGRESS_PAUSE", pause}});
}

TEST(MonitorEndings, WmCloseEndsAnIdleMonitorBeforeItsFirstTick) {
  Scratch scratch;
  Server monitor = OnClub(scratch, L"60000", L"0");
  const HWND window = MainWindow();
  ASSERT_NE(window, nullptr);
  PostMessageW(window, WM_CLOSE, 0, 0);
  // Long before the one-minute tick: a close that waited for the next
  // cycle would show a log.
  EXPECT_EQ(monitor.ExitCodeWithin(30000), 0);
  EXPECT_TRUE(LogLines(scratch.dir).empty());
}

// COM may start a server that then receives no object (two clients starting
// at once): it ends after its grace period, shortened here to half a second.
TEST(MonitorEndings, EmbeddingServerThatServesNoObjectEnds) {
  Server server(L"-Embedding", {{L"KB6TRAY_EMBEDDING_IDLE_MS", L"500"}});
  EXPECT_EQ(server.ExitCodeWithin(60000), 0);
}

TEST(MonitorEndings, SessionEndDuringACycleEndsAtItsProgressWait) {
  Scratch scratch;
  // One second after each progress text: the cycle takes minutes.
  Server monitor = OnClub(scratch, L"200", L"1");
  const HWND window = MainWindow();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(WaitForLogLines(scratch.dir, " wird gestartet ...", 1));
  DWORD_PTR answer = 0;
  ASSERT_NE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 10000, &answer), 0);
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  // The process ends while it handles the message: no answer comes back.
  SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 10000, &answer);
  EXPECT_EQ(monitor.ExitCodeWithin(30000), 0);

  const std::string ended =
      "Die Windows-Sitzung endet: die Datenreorganisation wurde vorzeitig beendet.";
  const std::vector<std::string> lines = LogLines(scratch.dir);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "fMain - Timer_Timer - " + ended);
  // Every line the file holds went to the table too, the last one included:
  // the club file was left sound.
  const std::vector<std::string> entries = ReadLogTable(scratch.club);
  ASSERT_EQ(entries.size(), lines.size());
  EXPECT_EQ(entries.back(), ended);
}

}  // namespace
}  // namespace kb6test
