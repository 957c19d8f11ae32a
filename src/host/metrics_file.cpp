#include "host/metrics_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace kb6 {
namespace {

constexpr size_t kCauseBytes = 80;
const char* const kIntervalLabels[] = {"1d", "7d", "14d"};

// A label value: backslash, quote and line feed escaped; cut on a UTF-8
// character boundary.
std::string LabelValue(const std::string& text, size_t max_bytes) {
  std::string cut = text.substr(0, std::min(text.size(), max_bytes));
  if (cut.size() < text.size())
    while (!cut.empty() && (static_cast<unsigned char>(text[cut.size()]) & 0xC0) == 0x80)
      cut.pop_back();
  std::string out;
  for (char c : cut) {
    if (c == '\\' || c == '"')
      out += std::string("\\") + c;
    else if (c == '\n' || c == '\r')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

std::string Number(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

class Writer {
 public:
  void Family(const char* name, const char* type, const char* help) {
    name_ = name;
    out_ << "# HELP " << name << " " << help << "\n# TYPE " << name << " " << type << "\n";
  }
  void Sample(const std::string& labels, const std::string& value) {
    out_ << name_ << (labels.empty() ? "" : "{" + labels + "}") << " " << value << "\n";
  }
  std::string Text() const { return out_.str(); }

 private:
  std::string name_;
  std::ostringstream out_;
};

}  // namespace

std::string RenderMetrics(const MetricsState& s) {
  Writer w;
  w.Family("kb6tray_interval_last_run_timestamp_seconds", "gauge",
           "Unix time at which the interval's last completed run ended.");
  for (size_t i = 0; i < s.intervals.size(); ++i)
    if (s.intervals[i])
      w.Sample(std::string("interval=\"") + kIntervalLabels[i] + "\"",
               Number(s.intervals[i]->last_end_unix));
  w.Family("kb6tray_interval_last_run_duration_seconds", "gauge",
           "Duration of the interval's last completed run.");
  for (size_t i = 0; i < s.intervals.size(); ++i)
    if (s.intervals[i])
      w.Sample(std::string("interval=\"") + kIntervalLabels[i] + "\"",
               Number(s.intervals[i]->seconds));
  w.Family("kb6tray_job_rows", "gauge", "Rows the job processed in its last run.");
  for (const auto& [name, job] : s.jobs)
    w.Sample("job=\"" + LabelValue(name, 64) + "\"", std::to_string(job.rows));
  w.Family("kb6tray_job_failed_writes", "gauge",
           "Changes the job could not write in its last run.");
  for (const auto& [name, job] : s.jobs)
    w.Sample("job=\"" + LabelValue(name, 64) + "\"", std::to_string(job.failed_writes));
  w.Family("kb6tray_cycles_total", "counter", "Cycles run.");
  w.Sample("", std::to_string(s.cycles_total));
  w.Family("kb6tray_cycles_with_errors_total", "counter",
           "Cycles that logged errors or failed writes.");
  w.Sample("", std::to_string(s.cycles_with_errors_total));
  if (s.last_cycle_unix) {
    w.Family("kb6tray_last_cycle_timestamp_seconds", "gauge", "Unix time of the last cycle's end.");
    w.Sample("", Number(*s.last_cycle_unix));
    w.Family("kb6tray_last_cycle_duration_seconds", "gauge", "Duration of the last cycle.");
    w.Sample("", Number(s.last_cycle_seconds));
  }
  w.Family("kb6tray_database_open_failed", "gauge",
           "1 when the last cycle could not open the database, with the cause.");
  w.Sample(s.open_failed ? "cause=\"" + LabelValue(s.open_cause, kCauseBytes) + "\"" : "",
           s.open_failed ? "1" : "0");
  return w.Text();
}

void ResumeFromMetrics(const std::string& text, MetricsState& s) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t space = line.rfind(' ');
    if (space == std::string::npos) continue;
    const std::string name = line.substr(0, space);
    long long value = 0;
    if (std::sscanf(line.c_str() + space + 1, "%lld", &value) != 1 || value < 0) continue;
    auto job_of = [&](const std::string& family) -> std::string {
      const std::string head = family + "{job=\"";
      if (name.rfind(head, 0) != 0 || name.size() < head.size() + 2 || name.back() != '}')
        return "";
      const std::string job = name.substr(head.size(), name.size() - head.size() - 2);
      return job.find_first_of("\\\"") == std::string::npos ? job : "";
    };
    if (name == "kb6tray_cycles_total")
      s.cycles_total = value;
    else if (name == "kb6tray_cycles_with_errors_total")
      s.cycles_with_errors_total = value;
    else if (const std::string job = job_of("kb6tray_job_rows"); !job.empty())
      s.jobs[job].rows = value;
    else if (const std::string failed = job_of("kb6tray_job_failed_writes"); !failed.empty())
      s.jobs[failed].failed_writes = value;
  }
}

std::string WriteFileAtomically(const std::string& path, const std::string& text) {
  // The rename would put a plain file in the place of a device, a FIFO or a
  // folder of that name (/dev/null, for root): only a file is replaced.
  struct stat sb {};
  if (stat(path.c_str(), &sb) == 0 && !S_ISREG(sb.st_mode)) return "keine gewöhnliche Datei";
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  unlink(temp.c_str());  // left by a process of this id that ended half way
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return std::strerror(errno);
  // The collector runs as another user: the file stays readable whatever
  // the umask says.
  fchmod(fd, 0644);
  size_t done = 0;
  int error = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (error == 0 && fsync(fd) != 0) error = errno;
  if (close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    unlink(temp.c_str());
    return std::strerror(error);
  }
  return "";
}

}  // namespace kb6
