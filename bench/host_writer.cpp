#include "host_writer.h"

#include <poll.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "db/sqlite_handles.h"

namespace kb6 {
namespace {

using Clock = std::chrono::steady_clock;

using DbHandle = SqliteHandle;

DbHandle Open(const std::string& path) {
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(raw);
    throw std::runtime_error("cannot open " + path);
  }
  DbHandle db(raw);
  sqlite3_busy_timeout(db.get(), 5000);
  return db;
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool StopRequested(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

double Percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<size_t>(std::ceil(q * static_cast<double>(v.size()))) - 1;
  return v[std::min(i, v.size() - 1)];
}

}  // namespace

void PrepareHostTable(const std::string& db_path) {
  DbHandle db = Open(db_path);
  if (!Exec(db.get(), "CREATE TABLE IF NOT EXISTS kb6bench_host (n INTEGER, t REAL)"))
    throw std::runtime_error(sqlite3_errmsg(db.get()));
}

HostLatency RunHostWriter(const std::string& db_path, int stop_fd) {
  DbHandle db = Open(db_path);
  HostLatency out;
  std::vector<double> ms;
  auto next = Clock::now();
  for (long n = 0; !StopRequested(stop_fd); ++n) {
    const auto a = Clock::now();
    bool ok = Exec(db.get(), "BEGIN IMMEDIATE");
    if (ok) {
      const std::string insert =
          "INSERT INTO kb6bench_host (n, t) VALUES (" + std::to_string(n) + ", julianday('now'))";
      ok = Exec(db.get(), insert.c_str()) && Exec(db.get(), "COMMIT");
      if (!ok) Exec(db.get(), "ROLLBACK");
    }
    const double took = std::chrono::duration<double, std::milli>(Clock::now() - a).count();
    ++out.transactions;
    if (!ok) ++out.locked;
    ms.push_back(took);
    next += std::chrono::milliseconds(20);
    const auto now = Clock::now();
    if (next < now) next = now;
    std::this_thread::sleep_until(next);
  }
  out.p50_ms = Percentile(ms, 0.50);
  out.p99_ms = Percentile(ms, 0.99);
  out.max_ms = ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end());
  return out;
}

}  // namespace kb6
