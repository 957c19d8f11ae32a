// The host application's side of the host-impact measurement: its own
// connection, one small write transaction every 20 ms, each timed.
#pragma once

#include <string>

namespace kb6 {

struct HostLatency {
  long transactions = 0;
  long locked = 0;  // transactions that gave up with "database is locked"
  double p50_ms = 0, p99_ms = 0, max_ms = 0;
};

// Creates the writer's own table in the file; before the writer starts.
void PrepareHostTable(const std::string& db_path);

// Writes until a byte or end of file arrives on `stop_fd`, then returns the
// latencies. Busy timeout 5 s, as the monitor's own connections.
HostLatency RunHostWriter(const std::string& db_path, int stop_fd);

}  // namespace kb6
