#include "scheduler/timer_cycle.h"

#include <exception>

#include "runlog/run_log.h"

namespace kb6 {
namespace {

constexpr const char* kBalloonTitle = "Hinweis";
constexpr const char* kStartBalloon = "Die Datenreorganisation wird gestartet ...";
constexpr const char* kEndBalloon = "Die Datenreorganisation ist abgeschlossen.";
constexpr int32_t kInfoIcon = 1;

}  // namespace

void TimerCycle::Finish() {
  window_.SetToolTip(kIdleToolTip);
  window_.SetTimerEnabled(true);
  if (settings_.CloseRequested) window_.Unload();
}

void TimerCycle::Run() {
  std::unique_ptr<Jobs> myAufgaben;
  bool connected = false;
  try {
    window_.SetTimerEnabled(false);
    connected = ports_.OpenDatabase();
    if (connected) {
      myAufgaben = ports_.NewJobs(window_);
      bool started = false;
      settings_.RunGuid = ports_.NewGuidString();
      auto start = [&](const char* text) {
        if (!started) {
          window_.ShowBalloon(kBalloonTitle, kStartBalloon, kInfoIcon);
          started = true;
        }
        ports_.WriteLog(text, LogTypeInfo, "", "");
      };
      if (ports_.XF_DoAufgabenEintaegig()) {
        start("Die Datenreorganisation 1-tägig wird gestartet ...");
        myAufgaben->gfUpdateDatumsfelder();
        myAufgaben->gfUpdateAbteilungenAnzahl();
        myAufgaben->gfUpdateSpendenliste();
        myAufgaben->gfUpdateAdressen();
        myAufgaben->gfUpdateAbteilungen();
        ports_.DailyMaintenance();
        ports_.WriteLog("Die Datenreorganisation 1-tägig ist abgeschlossen.", LogTypeInfo, "", "");
      }
      if (ports_.XF_DoAufgabenWoechentlich()) {
        start("Die Datenreorganisation 1-wöchig wird gestartet ...");
        myAufgaben->gfRefreshAbteilungsuebersicht();
        myAufgaben->gfRefreshAnzahlAbteilungen();
        ports_.WriteLog("Die Datenreorganisation 1-wöchig ist abgeschlossen.", LogTypeInfo, "", "");
      }
      if (ports_.XF_DoAufgabenZweiWoechentlich()) {
        start("Die Datenreorganisation 2-wöchig wird gestartet ...");
        myAufgaben->gfUpdateAdressenKomplett();
        myAufgaben->gfUpdateFeldAnzahlAdressen();
        ports_.WriteLog("Die Datenreorganisation 2-wöchig ist abgeschlossen.", LogTypeInfo, "", "");
      }
      if (started) window_.ShowBalloon(kBalloonTitle, kEndBalloon, kInfoIcon);
      ports_.CloseDatabase();
      connected = false;
    }
    Finish();
  } catch (const std::exception& e) {
    // The trap must leave the monitor alive: log, close what is open, go
    // back to idle with the timer running, and still honour a close request.
    ports_.WriteLog(e.what(), LogTypeError, "fMain", "Timer_Timer");
    myAufgaben.reset();
    if (connected) ports_.CloseDatabase();
    try {
      Finish();
    } catch (const std::exception&) {
      // A tray that keeps failing must not stop the timer or the close.
      window_.SetTimerEnabled(true);
      if (settings_.CloseRequested) window_.Unload();
    }
  }
}

}  // namespace kb6
