// kb6-bench: one reorganisation cycle with all three intervals due, in
// process and without the progress pause, on a fresh generated club file;
// then the same statement stream replayed straight through the SQLite C API
// twice: as texts (the text floor) and as prepared shapes with the literals
// bound (the shape floor). Prints one "name value" line per figure.
//
//   kb6-bench              runs 1000, 10000 and 50000 addresses, each in a child process
//   kb6-bench N [SEED]     runs N addresses in this process
//   kb6-bench --host N     a host application's write latency with and without a cycle
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "club_generator.h"
#include "common/clock.h"
#include "compare.h"
#include "db/access_dialect.h"
#include "db/database.h"
#include "db/sqlite_handles.h"
#include "db/sqlite_provider.h"
#include "floors.h"
#include "host_writer.h"
#include "jobs/aufgaben.h"
#include "runlog/run_log.h"
#include "scheduler/live_ports.h"
#include "scheduler/timer_cycle.h"

namespace kb6 {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

long PeakRssKb() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The statement stream, kept on disk so that it does not count as the
// cycle's memory: a length, a newline, the text.
class StreamWriter {
 public:
  explicit StreamWriter(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {
    if (!f_) throw std::runtime_error("cannot write " + path);
    buffer_.reserve(kFlushAt + 4096);
  }
  ~StreamWriter() { Close(); }
  void Close() {
    if (!f_) return;
    Flush();
    std::fclose(f_);
    f_ = nullptr;
  }
  // Kept cheap: it runs inside the cycle's time and instructions.
  void Add(const std::string& sql) {
    char len[24];
    const auto end = std::to_chars(len, len + sizeof len, sql.size()).ptr;
    buffer_.append(len, end);
    buffer_ += '\n';
    buffer_ += sql;
    if (buffer_.size() >= kFlushAt) Flush();
    ++count_;
  }
  long count() const { return count_; }

 private:
  static constexpr size_t kFlushAt = 1 << 18;
  void Flush() {
    std::fwrite(buffer_.data(), 1, buffer_.size(), f_);
    buffer_.clear();
  }
  std::FILE* f_;
  std::string buffer_;
  long count_ = 0;
};

struct Step {
  std::string interval, job;
  double seconds = 0;
  long statements = 0;
};

class Meter {
 public:
  explicit Meter(const StreamWriter& stream) : stream_(stream) {}
  template <class F>
  void Time(const std::string& interval, const std::string& job, F&& f) {
    const long before = stream_.count();
    const auto a = Clock::now();
    f();
    steps.push_back({interval, job, Seconds(a, Clock::now()), stream_.count() - before});
  }
  std::vector<Step> steps;

 private:
  const StreamWriter& stream_;
};

class TimedJobs final : public Jobs {
 public:
  TimedJobs(std::unique_ptr<Jobs> inner, Meter& m) : in_(std::move(inner)), m_(m) {}
  void gfUpdateDatumsfelder() override {
    T("01TG", "gfUpdateDatumsfelder", &Jobs::gfUpdateDatumsfelder);
  }
  void gfUpdateAdressen() override { T("01TG", "gfUpdateAdressen", &Jobs::gfUpdateAdressen); }
  void gfUpdateAbteilungen() override {
    T("01TG", "gfUpdateAbteilungen", &Jobs::gfUpdateAbteilungen);
  }
  void gfUpdateAbteilungenAnzahl() override {
    T("01TG", "gfUpdateAbteilungenAnzahl", &Jobs::gfUpdateAbteilungenAnzahl);
  }
  void gfUpdateSpendenliste() override {
    T("01TG", "gfUpdateSpendenliste", &Jobs::gfUpdateSpendenliste);
  }
  bool gfRefreshAbteilungsuebersicht() override {
    bool ok = false;
    m_.Time("07TG", "gfRefreshAbteilungsuebersicht",
            [&] { ok = in_->gfRefreshAbteilungsuebersicht(); });
    return ok;
  }
  void gfUpdateAdressenKomplett() override {
    T("14TG", "gfUpdateAdressenKomplett", &Jobs::gfUpdateAdressenKomplett);
  }
  void gfUpdateFeldAnzahlAdressen() override {
    T("14TG", "gfUpdateFeldAnzahlAdressen", &Jobs::gfUpdateFeldAnzahlAdressen);
  }
  void gfRefreshAnzahlAbteilungen() override {
    T("07TG", "gfRefreshAnzahlAbteilungen", &Jobs::gfRefreshAnzahlAbteilungen);
  }

  void ReportTo(JobReport* report) override { in_->ReportTo(report); }

 private:
  void T(const char* interval, const char* job, void (Jobs::*fn)()) {
    m_.Time(interval, job, [&] { (in_.get()->*fn)(); });
  }
  std::unique_ptr<Jobs> in_;
  Meter& m_;
};

class TimedPorts final : public CyclePorts {
 public:
  TimedPorts(LivePorts& live, Meter& m) : live_(live), m_(m) {}
  bool OpenDatabase() override { return live_.OpenDatabase(); }
  void CloseDatabase() override { live_.CloseDatabase(); }
  std::string NewGuidString() override { return live_.NewGuidString(); }
  bool XF_DoAufgabenEintaegig() override { return live_.XF_DoAufgabenEintaegig(); }
  bool XF_DoAufgabenWoechentlich() override { return live_.XF_DoAufgabenWoechentlich(); }
  bool XF_DoAufgabenZweiWoechentlich() override { return live_.XF_DoAufgabenZweiWoechentlich(); }
  std::unique_ptr<Jobs> NewJobs(ProgressSink& events) override {
    return std::make_unique<TimedJobs>(live_.NewJobs(events), m_);
  }
  void DailyMaintenance(JobReport& report) override {
    m_.Time("01TG", "DailyMaintenance", [&] { live_.DailyMaintenance(report); });
  }
  void WriteLog(const std::string& t, int32_t type, const std::string& mo,
                const std::string& pr) override {
    live_.WriteLog(t, type, mo, pr);
  }
  double Now() override { return live_.Now(); }
  void IntervalFailed(const IntervalReport& i) override { live_.IntervalFailed(i); }

 private:
  LivePorts& live_;
  Meter& m_;
};

// The window without a tray and without the progress pause.
class SilentWindow final : public CycleWindow {
 public:
  void SetTimerEnabled(bool) override {}
  void SetToolTip(const std::string&) override {}
  void ShowBalloon(const std::string&, const std::string&, int32_t) override {}
  void Unload() override {}
  void SetTrayText(const std::string&, const std::string&) override {}
};

// A folder of its own for every run, removed at the end: runs at the same
// time must never meet. In memory-backed storage unless KB6_BENCH_DIR names a
// folder, since on a shared machine the disk's noise is larger than the
// differences measured; the statement stream goes there too, so that writing
// it does not put write-back into the cycle's time.
class PrivateDir {
 public:
  PrivateDir() {
    namespace fs = std::filesystem;
    const char* base_dir = std::getenv("KB6_BENCH_DIR");
    const fs::path root = base_dir                       ? fs::path(base_dir)
                          : fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                         : fs::temp_directory_path();
    std::string pattern = (root / "kb6bench-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp in " + root.string() + ": " + std::strerror(errno));
    path_ = pattern;
  }
  ~PrivateDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  PrivateDir(const PrivateDir&) = delete;
  PrivateDir& operator=(const PrivateDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void FreshCopy(const std::string& from, const std::string& to) {
  namespace fs = std::filesystem;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(to + suffix);
  fs::copy_file(from, to);
}

// The statements of a stream as the SQLite provider runs them: translated
// from the Access dialect. Shapes that are bound the provider checked against
// this translation when it made them.
std::vector<std::string> LoadStream(const std::string& stream_path) {
  std::ifstream in(stream_path, std::ios::binary);
  std::vector<std::string> stream;
  for (std::string len; std::getline(in, len);) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(len.c_str(), &end, 10);
    if (end == len.c_str() || *end != '\0')
      throw std::runtime_error("damaged statement stream " + stream_path);
    std::string sql(n, '\0');
    if (!in.read(sql.data(), static_cast<std::streamsize>(sql.size())))
      throw std::runtime_error("truncated statement stream " + stream_path);
    stream.push_back(TranslateAccessToSqlite(sql));
  }
  return stream;
}

// A connection with the settings of the provider's own.
SqliteHandle OpenForReplay(const std::string& path) {
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(path.c_str(), &raw, kSqliteOpenFlags, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(raw);
    throw std::runtime_error("cannot open " + path);
  }
  SqliteHandle db(raw);
  ConfigureSqliteConnection(db.get());
  InstallJetStorageRules(db.get());
  return db;
}

struct CycleRun {
  double seconds = 0;
  long statements = 0;
  std::vector<Step> steps;
};

// One cycle with all three intervals due on `db_file`, every statement the
// SQLite provider receives written to `stream_path`.
CycleRun RunCycle(const PrivateDir& dir, const std::string& db_file,
                  const std::string& stream_path) {
  StreamWriter stream(stream_path);
  SystemClock clock;
  const RegionalSettings regional = RegionalSettings::German();
  Settings settings;
  settings.SQLServer_Host = "lokal";
  settings.AccessDatenbank = db_file;
  settings.Datenpfad = dir.path().string();
  ProviderRegistry providers;
  providers.Register(kJetProviderName, [&](const ConnectionAttributes& a) {
    return OpenSqliteSession(a.Get("Data Source"),
                             [&](const std::string& sql) { stream.Add(sql); });
  });
  CycleRun run;
  Database db(settings, regional, clock, providers);
  RunLog log(settings, db, regional, clock, dir.path().string(), "KB6TRAY");
  LivePorts live(db, regional, clock, log);
  Meter meter(stream);
  TimedPorts ports(live, meter);
  SilentWindow window;
  TimerCycle cycle(settings, ports, window);
  const auto a = Clock::now();
  cycle.Run();
  run.seconds = Seconds(a, Clock::now());
  run.statements = stream.count();
  run.steps = meter.steps;
  return run;
}

int Repeats(int addresses) {
  // Cycle and floors alternate on fresh copies and the best of each counts,
  // which filters out the pauses a shared machine puts into single runs.
  // KB6_BENCH_REPEATS=1 for profiling runs.
  const char* env = std::getenv("KB6_BENCH_REPEATS");
  return env ? std::max(1, std::atoi(env)) : addresses <= 10000 ? 3 : 1;
}

void Print(const char* name, double value) {
  // Counts print in full; figures with six significant digits.
  if (value == static_cast<double>(static_cast<long>(value)))
    std::printf("%s %ld\n", name, static_cast<long>(value));
  else
    std::printf("%s %.6g\n", name, value);
}

// Refuses to go on when a check fails: a ratio of two runs that did
// different work would be meaningless.
void Require(bool ok, const std::string& what) {
  if (ok) return;
  std::fprintf(stderr, "check failed: %s\n", what.c_str());
  std::fflush(stdout);
  std::exit(2);
}

int RunOne(int addresses, uint32_t seed) {
  const PrivateDir dir;
  const std::string base = dir.File("club.db");
  GenerateClubDatabase(base, {addresses, seed});
  const int repeats = Repeats(addresses);
  const std::string stream_path = dir.File("stream");
  CycleRun best;
  best.seconds = 1e300;
  ReplayResult text_best{1e300, 0, 0}, shape_best{1e300, 0, 0};
  long peak = 0;
  size_t shapes = 0;
  for (int rep = 0; rep < repeats; ++rep) {
    for (const char* copy : {"cycle.db", "text.db", "shape.db"}) FreshCopy(base, dir.File(copy));
    ResetPeakRss();
    const CycleRun run = RunCycle(dir, dir.File("cycle.db"), stream_path);
    // Only the first run: later ones start on a heap the floors have grown.
    if (rep == 0) peak = PeakRssKb();
    if (run.seconds < best.seconds) best = run;

    const std::vector<std::string> stream = LoadStream(stream_path);
    Require(static_cast<long>(stream.size()) == run.statements,
            "the stream holds " + std::to_string(stream.size()) + " statements, the cycle sent " +
                std::to_string(run.statements));
    ReplayResult text, shape;
    {
      auto db = OpenForReplay(dir.File("text.db"));
      text = ReplayTextFloor(db.get(), stream);
    }
    {
      const ShapedStream shaped = ShapeStream(stream);
      shapes = shaped.shapes.size();
      auto db = OpenForReplay(dir.File("shape.db"));
      shape = ReplayShapeFloor(db.get(), stream, shaped);
    }
    Require(text.statements == run.statements && shape.statements == run.statements,
            "statements: cycle " + std::to_string(run.statements) + ", text floor " +
                std::to_string(text.statements) + ", shape floor " +
                std::to_string(shape.statements));
    Require(text.failed == shape.failed, "statements refused: text floor " +
                                             std::to_string(text.failed) + ", shape floor " +
                                             std::to_string(shape.failed));
    for (const char* floor : {"text.db", "shape.db"}) {
      const std::string diff = CompareDatabases(dir.File("cycle.db"), dir.File(floor));
      Require(diff.empty(), std::string("cycle.db and ") + floor + " differ: " + diff);
    }
    text_best.failed = text.failed;
    text_best.statements = text.statements;
    text_best.seconds = std::min(text_best.seconds, text.seconds);
    shape_best.statements = shape.statements;
    shape_best.seconds = std::min(shape_best.seconds, shape.seconds);
  }

  Print("addresses", addresses);
  Print("seed", seed);
  Print("runs", repeats);
  std::map<std::string, Step> per_interval;
  for (const Step& s : best.steps) {
    std::printf("job_%s_%s_s %.6g\n", s.interval.c_str(), s.job.c_str(), s.seconds);
    std::printf("job_%s_%s_statements %ld\n", s.interval.c_str(), s.job.c_str(), s.statements);
    Step& t = per_interval[s.interval];
    t.seconds += s.seconds;
    t.statements += s.statements;
  }
  for (const auto& [tag, t] : per_interval) {
    std::printf("interval_%s_s %.6g\n", tag.c_str(), t.seconds);
    std::printf("interval_%s_statements %ld\n", tag.c_str(), t.statements);
  }
  Print("statements", static_cast<double>(best.statements));
  Print("statements_refused", static_cast<double>(text_best.failed));
  Print("shapes", static_cast<double>(shapes));
  Print("databases_equal", 1);
  Print("cycle_s", best.seconds);
  Print("text_floor_s", text_best.seconds);
  Print("shape_floor_s", shape_best.seconds);
  Print("ratio_text_floor", best.seconds / text_best.seconds);
  Print("ratio_shape_floor", best.seconds / shape_best.seconds);
  Print("us_per_address", 1e6 * best.seconds / addresses);
  Print("peak_rss_mib", static_cast<double>(peak) / 1024.0);
  return 0;
}

// Starts the host writer as a process of its own on `db_path`.
class HostWriterProcess {
 public:
  explicit HostWriterProcess(const std::string& db_path) {
    int to_child[2], from_child[2];
    if (pipe(to_child) != 0 || pipe(from_child) != 0) throw std::runtime_error("pipe");
    std::fflush(stdout);
    pid_ = fork();
    if (pid_ == 0) {
      dup2(to_child[0], 0);
      dup2(from_child[1], 1);
      close(to_child[1]);
      close(from_child[0]);
      execl("/proc/self/exe", "kb6-bench", "--host-writer", db_path.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(to_child[0]);
    close(from_child[1]);
    stop_fd_ = to_child[1];
    result_fd_ = from_child[0];
  }
  ~HostWriterProcess() {
    if (pid_ > 0) Stop();
  }
  HostWriterProcess(const HostWriterProcess&) = delete;
  HostWriterProcess& operator=(const HostWriterProcess&) = delete;

  HostLatency Stop() {
    close(stop_fd_);
    std::string text;
    char buf[256];
    for (ssize_t n; (n = read(result_fd_, buf, sizeof buf)) > 0;)
      text.append(buf, static_cast<size_t>(n));
    close(result_fd_);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    HostLatency h;
    if (std::sscanf(text.c_str(), "%ld %ld %lf %lf %lf", &h.transactions, &h.locked, &h.p50_ms,
                    &h.p99_ms, &h.max_ms) != 5)
      throw std::runtime_error("the host writer reported nothing");
    return h;
  }

 private:
  pid_t pid_ = -1;
  int stop_fd_ = -1, result_fd_ = -1;
};

int HostWriterMain(const std::string& db_path) {
  const HostLatency h = RunHostWriter(db_path, 0);
  std::printf("%ld %ld %.6f %.6f %.6f\n", h.transactions, h.locked, h.p50_ms, h.p99_ms, h.max_ms);
  return 0;
}

// A host application writing every 20 ms: first while a cycle runs, then for
// as long again with the monitor idle.
int RunHost(int addresses, uint32_t seed) {
  const PrivateDir dir;
  const std::string db_file = dir.File("club.db");
  GenerateClubDatabase(db_file, {addresses, seed});
  PrepareHostTable(db_file);
  HostWriterProcess busy_writer(db_file);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const CycleRun run = RunCycle(dir, db_file, dir.File("stream"));
  const HostLatency busy = busy_writer.Stop();
  HostWriterProcess idle_writer(db_file);
  std::this_thread::sleep_for(std::chrono::duration<double>(std::min(run.seconds, 120.0)));
  const HostLatency idle = idle_writer.Stop();
  Print("addresses", addresses);
  Print("cycle_s", run.seconds);
  Print("host_transactions", static_cast<double>(busy.transactions));
  Print("host_p50_ms", busy.p50_ms);
  Print("host_p99_ms", busy.p99_ms);
  Print("host_max_ms", busy.max_ms);
  Print("host_locked", static_cast<double>(busy.locked));
  Print("host_transactions_idle", static_cast<double>(idle.transactions));
  Print("host_p50_idle_ms", idle.p50_ms);
  Print("host_p99_idle_ms", idle.p99_ms);
  Print("host_max_idle_ms", idle.max_ms);
  Print("host_locked_idle", static_cast<double>(idle.locked));
  return 0;
}

}  // namespace
}  // namespace kb6

int main(int argc, char** argv) {
  kb6::ConfigureSqliteProcess();  // before the generator's first use of SQLite
  try {
    const std::string first = argc >= 2 ? argv[1] : "";
    auto seed_at = [&](int i) {
      return argc > i ? static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)) : 42u;
    };
    if (first == "--host-writer" && argc == 3) return kb6::HostWriterMain(argv[2]);
    if (first == "--host") return kb6::RunHost(argc > 2 ? std::atoi(argv[2]) : 10000, seed_at(3));
    if (!first.empty()) return kb6::RunOne(std::atoi(argv[1]), seed_at(2));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kb6-bench: %s\n", e.what());
    return 1;
  }
  for (const char* size : {"1000", "10000", "50000"}) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/proc/self/exe", argv[0], size, static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  }
  return 0;
}
