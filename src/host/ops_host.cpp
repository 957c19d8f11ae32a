#include "host/ops_host.h"

#include <sys/stat.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "common/operator_notice.h"
#include "host/status_check.h"
#include "report/history_command.h"
#include "report/local_time.h"

namespace kb6 {
namespace {

class NotifyingTray final : public TrayIcon {
 public:
  NotifyingTray(std::unique_ptr<TrayIcon> inner, const SdNotifier& notifier)
      : inner_(std::move(inner)), notifier_(notifier) {}
  void SetIcon() override { inner_->SetIcon(); }
  void SetIntegerSetting(int32_t v) override { inner_->SetIntegerSetting(v); }
  void SetToolTip(const std::string& text) override {
    notifier_.Send("STATUS=" + StatusText(text));
    inner_->SetToolTip(text);
  }
  void Add() override { inner_->Add(); }
  void SetBooleanSetting(bool v) override { inner_->SetBooleanSetting(v); }
  void ShowBalloon(const std::string& title, const std::string& text, int32_t kind) override {
    inner_->ShowBalloon(title, text, kind);
  }
  void Remove() override { inner_->Remove(); }

 private:
  std::unique_ptr<TrayIcon> inner_;
  const SdNotifier& notifier_;
};

// The previous metrics file; anything but a regular file (a FIFO would block
// the start until a writer came) reads as empty.
std::string ReadWhole(const std::string& path) {
  struct stat sb {};
  if (stat(path.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode)) return "";
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

double UnixTimeOfLocal(double serial) {
  // In the hour a change back from daylight saving time repeats, the later
  // reading: a metric never claims a run ended before it did.
  return static_cast<double>(report::LocalInstants(serial).back());
}

OpsHost::OpsHost(const OpsOptions& ops, const MonitorOptions& monitor, SdNotifier notifier)
    : metrics_file_(ops.metrics_file),
      choice_(DatabaseChoiceOf(monitor)),
      notifier_(std::move(notifier)) {
  if (!metrics_file_.empty()) ResumeFromMetrics(ReadWhole(metrics_file_), metrics_);
}

OpsHost::~OpsHost() {
  if (watchdog_source_ != 0) g_source_remove(watchdog_source_);
}

std::unique_ptr<TrayIcon> OpsHost::WrapTray(std::unique_ptr<TrayIcon> tray) {
  if (!tray || !notifier_.Active()) return tray;
  return std::make_unique<NotifyingTray>(std::move(tray), notifier_);
}

void OpsHost::Started() {
  notifier_.Send("READY=1");
  const int64_t usec = notifier_.WatchdogUsec();
  if (usec > 0 && watchdog_source_ == 0) {
    const guint ms = static_cast<guint>(std::max<int64_t>(1, usec / 2000));
    watchdog_source_ = g_timeout_add(ms, &OpsHost::OnWatchdog, this);
  }
}

gboolean OpsHost::OnWatchdog(gpointer self) {
  static_cast<OpsHost*>(self)->notifier_.Send("WATCHDOG=1");
  return G_SOURCE_CONTINUE;
}

void OpsHost::Stopping() {
  if (watchdog_source_ != 0) g_source_remove(watchdog_source_);
  watchdog_source_ = 0;
  notifier_.Send("STOPPING=1");
}

void OpsHost::AfterCycle(const CycleReport& report) {
  if (metrics_file_.empty()) return;
  MetricsState& m = metrics_;
  ++m.cycles_total;
  if (report.HasFailures()) ++m.cycles_with_errors_total;
  m.open_failed = !report.opened;
  m.open_cause = report.open_error;
  if (report.ended > 0) {
    m.last_cycle_unix = UnixTimeOfLocal(report.ended);
    m.last_cycle_seconds = std::max(0.0, std::round((report.ended - report.started) * 86400.0));
  }
  for (const JobReport& job : report.jobs)
    m.jobs[job.name] = JobMetrics{job.rows, job.failed_writes};
  // The intervals' last runs come from the run log, so that a process that
  // has not run an interval itself (a restart, --once) still shows it.
  if (report.opened && (!intervals_read_ || !report.intervals.empty())) {
    const SystemClock clock;
    const report::LogRead read = report::ReadRunLog(choice_, clock);
    if (read.open_error.empty() && read.read_error.empty()) {
      intervals_read_ = true;
      const report::History history = WholeHistory(read.rows, report.ended);
      const auto runs = LastCompletedRuns(history);
      for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i])
          m.intervals[i] = IntervalMetrics{
              UnixTimeOfLocal(runs[i]->ended),
              std::max(0.0, std::round((runs[i]->ended - runs[i]->started) * 86400.0))};
    }
  }
  WriteMetrics();
}

void OpsHost::WriteMetrics() {
  const std::string error = WriteFileAtomically(metrics_file_, RenderMetrics(metrics_));
  if (error != metrics_error_ && !error.empty())
    TellOperator(NoticeLevel::kWarning, "Die Kennzahlendatei '" + metrics_file_ +
                                            "' kann nicht geschrieben werden: " + error);
  metrics_error_ = error;
}

}  // namespace kb6
