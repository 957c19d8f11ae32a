#include "host/application.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"
#include "tray/console_tray.h"
#include "tray/main_window.h"

namespace kb6::test {
namespace {

struct IdleTimer final : Timer {
  bool enabled = false;
  void SetHandler(std::function<void()>) override {}
  void SetEnabled(bool e) override { enabled = e; }
  bool Enabled() const override { return enabled; }
};
struct NoLoop final : EventLoop {
  void ProcessPending() override {}
  void SleepMilliseconds(int) override {}
};

class Application : public ClubTest {
 protected:
  std::ostringstream out;
  ConsoleTray tray{out};
  IdleTimer timer;
  NoLoop loop;
  MainWindow window{tray, timer, loop, clock};
};

TEST_F(Application, ShowTrayiconWithdrawsACloseRequestAndLoadsOnce) {
  {
    clsApplication app(settings, window, *db, *log);
    app.CloseTrayIcon();
    EXPECT_TRUE(settings.CloseRequested);
    app.ShowTrayicon();
    app.ShowTrayicon();
    EXPECT_FALSE(settings.CloseRequested);
    EXPECT_TRUE(window.Loaded());
    EXPECT_TRUE(timer.enabled);
    EXPECT_EQ(out.str(), "[Symbol] Korbinar V6 Systemüberwachung im Leerlauf\n");
    app.SQLServer_Host("Lokal");
    app.Programmversion(6);
    EXPECT_EQ(settings.SQLServer_Host, "Lokal");
    EXPECT_EQ(db->DbConnection()->State(), 1);
  }
  // Releasing the object closes the connection but leaves the window running.
  EXPECT_EQ(db->DbConnection(), nullptr);
  EXPECT_TRUE(window.Loaded());
}

TEST_F(Application, ClosedConnectionObjectIsNotReopened) {
  settings.AccessDatenbank = dir.File("fehlt.db");
  EXPECT_FALSE(db->OpenDatabase());  // the failed connect leaves a closed connection object
  Recordset rs;
  std::string sql = "SELECT 1 AS X";
  EXPECT_EQ(db->OpenRecordset(sql, rs),
            "Die Verbindung zur Datenbank konnte nicht hergestellt werden.");
}

}  // namespace
}  // namespace kb6::test
