#include "scheduler/timer_cycle.h"

#include <exception>

#include "common/operator_notice.h"
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

IntervalReport& TimerCycle::BeginInterval(const char* key, int days) {
  IntervalReport& interval = report_.intervals.emplace_back();
  interval.key = key;
  interval.days = days;
  interval.started = ports_.Now();
  return interval;
}

void TimerCycle::RunJob(Jobs& jobs, const char* name, const char* tag,
                        const std::function<void()>& job) {
  JobReport& own = report_.jobs.emplace_back();
  own.name = name;
  own.tag = tag;
  // Nothing else adds to the list while the job runs: `own` stays valid.
  jobs.ReportTo(&own);
  try {
    job();
  } catch (...) {
    jobs.ReportTo(nullptr);
    throw;
  }
  jobs.ReportTo(nullptr);
  if (own.Failed()) report_.intervals.back().failed = true;
}

void TimerCycle::TellClock() {
  const std::string notice = ports_.TakeClockNotice();
  if (notice.empty()) return;
  ports_.WriteLog(notice, LogTypeError, "", "");
  TellOperator(NoticeLevel::kWarning, notice);
  ++report_.other_errors;
}

void TimerCycle::Run() {
  report_ = CycleReport{};
  report_.started = ports_.Now();
  // Lines lost between cycles (a host call's entry) belong to no cycle.
  ports_.TakeLostLogLines();
  std::unique_ptr<Jobs> myAufgaben;
  bool connected = false;
  try {
    window_.SetTimerEnabled(false);
    connected = ports_.OpenDatabase();
    report_.opened = connected;
    if (!connected) report_.open_error = ports_.OpenError();
    if (connected) {
      myAufgaben = ports_.NewJobs(window_);
      Jobs& jobs = *myAufgaben;
      bool started = false;
      settings_.RunGuid = ports_.NewGuidString();
      auto start = [&](const char* text) {
        if (!started) {
          window_.ShowBalloon(kBalloonTitle, kStartBalloon, kInfoIcon);
          started = true;
        }
        ports_.WriteLog(text, LogTypeInfo, "", "");
      };
      auto end = [&](const char* text) {
        ports_.WriteLog(text, LogTypeInfo, "", "");
        IntervalReport& interval = report_.intervals.back();
        interval.ended = ports_.Now();
        if (interval.failed) ports_.IntervalFailed(interval);
      };
      const bool daily = ports_.XF_DoAufgabenEintaegig();
      TellClock();
      if (daily) {
        BeginInterval("AUFGABENTRAY1", 1);
        start("Die Datenreorganisation 1-tägig wird gestartet ...");
        RunJob(jobs, "gfUpdateDatumsfelder", "01TG", [&] { jobs.gfUpdateDatumsfelder(); });
        RunJob(jobs, "gfUpdateAbteilungenAnzahl", "01TG",
               [&] { jobs.gfUpdateAbteilungenAnzahl(); });
        RunJob(jobs, "gfUpdateSpendenliste", "01TG", [&] { jobs.gfUpdateSpendenliste(); });
        RunJob(jobs, "gfUpdateAdressen", "01TG", [&] { jobs.gfUpdateAdressen(); });
        RunJob(jobs, "gfUpdateAbteilungen", "01TG", [&] { jobs.gfUpdateAbteilungen(); });
        JobReport& maintenance = report_.jobs.emplace_back();
        maintenance.name = "DailyMaintenance";
        maintenance.tag = "01TG";
        ports_.DailyMaintenance(maintenance);
        if (maintenance.Failed()) report_.intervals.back().failed = true;
        end("Die Datenreorganisation 1-tägig ist abgeschlossen.");
      }
      const bool weekly = ports_.XF_DoAufgabenWoechentlich();
      TellClock();
      if (weekly) {
        BeginInterval("AUFGABENTRAY7", 7);
        start("Die Datenreorganisation 1-wöchig wird gestartet ...");
        RunJob(jobs, "gfRefreshAbteilungsuebersicht", "07TG",
               [&] { jobs.gfRefreshAbteilungsuebersicht(); });
        RunJob(jobs, "gfRefreshAnzahlAbteilungen", "07TG",
               [&] { jobs.gfRefreshAnzahlAbteilungen(); });
        end("Die Datenreorganisation 1-wöchig ist abgeschlossen.");
      }
      const bool fortnightly = ports_.XF_DoAufgabenZweiWoechentlich();
      TellClock();
      if (fortnightly) {
        BeginInterval("AUFGABENTRAY14", 14);
        start("Die Datenreorganisation 2-wöchig wird gestartet ...");
        RunJob(jobs, "gfUpdateAdressenKomplett", "14TG", [&] { jobs.gfUpdateAdressenKomplett(); });
        RunJob(jobs, "gfUpdateFeldAnzahlAdressen", "14TG",
               [&] { jobs.gfUpdateFeldAnzahlAdressen(); });
        end("Die Datenreorganisation 2-wöchig ist abgeschlossen.");
      }
      if (started) window_.ShowBalloon(kBalloonTitle, kEndBalloon, kInfoIcon);
      ports_.CloseDatabase();
      connected = false;
    }
    report_.ended = ports_.Now();
    report_.other_errors += ports_.TakeLostLogLines();
    Finish();
  } catch (const std::exception& e) {
    // The trap must leave the monitor alive: log, close what is open, go
    // back to idle with the timer running, and still honour a close request.
    ports_.WriteLog(e.what(), LogTypeError, "fMain", "Timer_Timer");
    ++report_.other_errors;
    myAufgaben.reset();
    if (connected) {
      // An interval the trap cut short is redone like one whose jobs failed.
      if (!report_.intervals.empty() && report_.intervals.back().ended == 0) {
        report_.intervals.back().failed = true;
        try {
          ports_.IntervalFailed(report_.intervals.back());
        } catch (const std::exception&) {
        }
      }
      ports_.CloseDatabase();
    }
    report_.ended = ports_.Now();
    report_.other_errors += ports_.TakeLostLogLines();
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
