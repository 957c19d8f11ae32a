#include "tray/main_window.h"

#include <exception>

namespace kb6 {

MainWindow::MainWindow(TrayIcon& tray, Timer& timer, EventLoop& loop, const Clock& clock)
    : tray_(tray), timer_(timer), loop_(loop), clock_(clock) {}

void MainWindow::SetTickHandler(std::function<void()> on_tick) {
  timer_.SetHandler(std::move(on_tick));
}

void MainWindow::Load() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
  timer_.SetEnabled(true);
}

void MainWindow::Unload() {
  if (!loaded_) return;
  Form_QueryUnload();
  timer_.SetEnabled(false);
  loaded_ = false;
  if (on_unloaded_) on_unloaded_();
}

// Every step goes on after a failure: at worst the icon is missing.
void MainWindow::Form_Load() {
  const std::function<void()> steps[] = {
      [&] { tray_.SetIcon(); },
      [&] { tray_.SetIntegerSetting(0); },
      [&] { tray_.SetToolTip(kIdleToolTip); },
      [&] { tray_.Add(); },
      [&] { tray_.SetBooleanSetting(false); },
  };
  for (const auto& step : steps) {
    try {
      step();
    } catch (const std::exception&) {
    }
  }
}

void MainWindow::Form_QueryUnload() {
  try {
    tray_.Remove();
  } catch (const std::exception&) {
  }
}

void MainWindow::SetTrayText(const std::string& ueText, const std::string& uePart) {
  try {
    tray_.SetToolTip("In Arbeit (" + uePart + "): " + "\r\n" + ueText);
  } catch (const std::exception&) {
  }
  WaitSeconds(progress_pause_);
}

void MainWindow::WaitSeconds(int32_t seconds) {
  try {
    const double start = clock_.MonotonicSeconds();
    do {
      loop_.SleepMilliseconds(1);
      loop_.ProcessPending();
    } while (clock_.MonotonicSeconds() - start <= seconds);
  } catch (const std::exception&) {
  }
}

}  // namespace kb6
