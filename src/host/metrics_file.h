// The metrics file: Prometheus text exposition format for node_exporter's
// textfile collector, rewritten after every cycle by a write to a
// temporary file in the same folder and a rename, so a reader sees the old
// file or the new one, never a part.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace kb6 {

struct IntervalMetrics {
  double last_end_unix = 0;  // end of its last completed run
  double seconds = 0;        // its duration
};

struct JobMetrics {
  int64_t rows = 0;
  int64_t failed_writes = 0;
};

struct MetricsState {
  std::array<std::optional<IntervalMetrics>, 3> intervals{};  // as kIntervals
  std::map<std::string, JobMetrics> jobs;                     // of each job's last run
  int64_t cycles_total = 0;
  int64_t cycles_with_errors_total = 0;
  std::optional<double> last_cycle_unix;
  double last_cycle_seconds = 0;
  bool open_failed = false;
  std::string open_cause;  // kept short for a label
};

std::string RenderMetrics(const MetricsState& state);

// Takes back the counters and the jobs' values from an earlier file of
// RenderMetrics, so that one-cycle runs (--once) carry them on.
void ResumeFromMetrics(const std::string& text, MetricsState& state);

// Writes `text` to `path` through a temporary file beside it (mode 0644)
// and a rename. Empty on success, else the cause.
std::string WriteFileAtomically(const std::string& path, const std::string& text);

}  // namespace kb6
