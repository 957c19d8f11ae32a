// kb6-bench: one reorganisation cycle with all three intervals due, in
// process and without the progress pause, on a fresh generated club file;
// then the same statement stream replayed straight through the SQLite C API
// (the engine's floor).
//
//   kb6-bench            runs 1000, 10000 and 50000 addresses, each in a child process
//   kb6-bench N [SEED]   runs N addresses in this process
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "club_generator.h"
#include "common/clock.h"
#include "db/database.h"
#include "db/sqlite_provider.h"
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
  explicit StreamWriter(const std::string& path) : f_(std::fopen(path.c_str(), "wb")) {}
  ~StreamWriter() { Close(); }
  void Close() {
    if (f_) std::fclose(f_);
    f_ = nullptr;
  }
  void Add(const std::string& sql) {
    std::fprintf(f_, "%zu\n", sql.size());
    std::fwrite(sql.data(), 1, sql.size(), f_);
    ++count_;
  }
  long count() const { return count_; }

 private:
  std::FILE* f_;
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
  void DailyMaintenance() override {
    m_.Time("01TG", "DailyMaintenance", [&] { live_.DailyMaintenance(); });
  }
  void WriteLog(const std::string& t, int32_t type, const std::string& mo,
                const std::string& pr) override {
    live_.WriteLog(t, type, mo, pr);
  }

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

std::vector<std::string> LoadStream(const std::string& stream_path) {
  std::ifstream in(stream_path, std::ios::binary);
  std::vector<std::string> stream;
  for (std::string len; std::getline(in, len);) {
    std::string sql(std::stoul(len), '\0');
    in.read(sql.data(), static_cast<std::streamsize>(sql.size()));
    stream.push_back(std::move(sql));
  }
  return stream;
}

// The engine's floor: every statement prepared, stepped to its end with each
// value read by type, and finalised, in autocommit. Kept apart from loading
// the stream so that an instruction profiler can count this alone
// (valgrind --tool=callgrind --toggle-collect='*ReplayStream*').
[[gnu::noinline]] double ReplayStream(sqlite3* db, const std::vector<std::string>& stream) {
  const auto a = Clock::now();
  volatile double sink = 0;
  for (const std::string& sql : stream) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr) !=
        SQLITE_OK)
      continue;
    const int n = sqlite3_column_count(st);
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int i = 0; i < n; ++i) {
        // Read every value the way a client must: by its type.
        switch (sqlite3_column_type(st, i)) {
          case SQLITE_INTEGER:
            sink = sink + static_cast<double>(sqlite3_column_int64(st, i));
            break;
          case SQLITE_FLOAT:
            sink = sink + sqlite3_column_double(st, i);
            break;
          case SQLITE_TEXT:
            sink = sink + sqlite3_column_bytes(st, i);
            break;
          default:
            break;
        }
      }
    }
    sqlite3_finalize(st);
  }
  return Seconds(a, Clock::now());
}

double Replay(const std::string& db_path, const std::string& stream_path, long& count) {
  sqlite3* raw = nullptr;
  sqlite3_open_v2(db_path.c_str(), &raw, kSqliteOpenFlags, nullptr);
  std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)> db(raw, &sqlite3_close_v2);
  ConfigureSqliteConnection(db.get());
  InstallJetStorageRules(db.get());
  const std::vector<std::string> stream = LoadStream(stream_path);
  count = static_cast<long>(stream.size());
  return ReplayStream(db.get(), stream);
}

int RunOne(int addresses, uint32_t seed) {
  namespace fs = std::filesystem;
  // Files live in memory-backed storage unless KB6_BENCH_DIR names a folder:
  // on a shared machine the disk's noise is larger than the differences this
  // benchmark is after.
  const char* base_dir = std::getenv("KB6_BENCH_DIR");
  const fs::path root = base_dir                       ? fs::path(base_dir)
                        : fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                                                       : fs::temp_directory_path();
  const fs::path dir = root / ("kb6bench-" + std::to_string(addresses));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string base = (dir / "club.db").string();
  GenerateClubDatabase(base, {addresses, seed});
  // Cycle and replay alternate on fresh copies; the best of each counts,
  // which filters out the pauses a shared machine puts into single runs.
  // KB6_BENCH_REPEATS=1 for profiling runs.
  const char* repeats_env = std::getenv("KB6_BENCH_REPEATS");
  const int repeats = repeats_env          ? std::max(1, std::atoi(repeats_env))
                      : addresses <= 10000 ? 3
                                           : 1;
  long cycle_statements = 0, replay_statements = 0, peak = 0;
  double cycle_seconds = 1e300, replay_seconds = 1e300;
  std::vector<Step> steps;
  // The stream goes to memory-backed storage where there is one: written to
  // disk it would put the benchmark's own write-back into the cycle's time.
  // A folder named by KB6_BENCH_DIR holds it too, so that two runs at once
  // (each with its own folder) never share one stream file.
  const fs::path shm = "/dev/shm";
  const std::string stream_path = ((base_dir || !fs::is_directory(shm) ? root : shm) /
                                   ("kb6bench-stream-" + std::to_string(addresses)))
                                      .string();
  for (int rep = 0; rep < repeats; ++rep) {
    for (const char* copy : {"cycle.db", "replay.db"}) {
      fs::remove(dir / copy);
      fs::remove(dir / (std::string(copy) + "-wal"));
      fs::remove(dir / (std::string(copy) + "-shm"));
      fs::copy_file(base, dir / copy);
    }
    ResetPeakRss();
    StreamWriter stream(stream_path);
    SystemClock clock;
    const RegionalSettings regional = RegionalSettings::German();
    Settings settings;
    settings.SQLServer_Host = "lokal";
    settings.AccessDatenbank = (dir / "cycle.db").string();
    settings.Datenpfad = dir.string();
    ProviderRegistry providers;
    providers.Register(kJetProviderName, [&](const ConnectionAttributes& a) {
      return OpenSqliteSession(a.Get("Data Source"),
                               [&](const std::string& sql) { stream.Add(sql); });
    });
    double seconds = 0;
    {
      Database db(settings, regional, clock, providers);
      RunLog log(settings, db, regional, clock, dir.string(), "KB6TRAY");
      LivePorts live(db, regional, clock, log);
      Meter meter(stream);
      TimedPorts ports(live, meter);
      SilentWindow window;
      TimerCycle cycle(settings, ports, window);
      const auto a = Clock::now();
      cycle.Run();
      seconds = Seconds(a, Clock::now());
      if (seconds < cycle_seconds) {
        cycle_seconds = seconds;
        steps = meter.steps;
      }
      cycle_statements = stream.count();
      // Only the first run: later ones start on a heap the replay has grown.
      if (rep == 0) peak = PeakRssKb();
    }
    stream.Close();
    replay_seconds = std::min(replay_seconds,
                              Replay((dir / "replay.db").string(), stream_path, replay_statements));
  }

  std::printf("\n== %d active addresses (seed %u) ==\n", addresses, seed);
  std::printf("%-6s %-32s %10s %12s %14s\n", "tag", "job", "seconds", "statements", "statements/s");
  std::map<std::string, Step> per_interval;
  for (const Step& s : steps) {
    std::printf("%-6s %-32s %10.3f %12ld %14.0f\n", s.interval.c_str(), s.job.c_str(), s.seconds,
                s.statements, s.statements / s.seconds);
    Step& t = per_interval[s.interval];
    t.seconds += s.seconds;
    t.statements += s.statements;
  }
  for (const auto& [tag, t] : per_interval)
    std::printf("%-6s %-32s %10.3f %12ld %14.0f\n", tag.c_str(), "(interval)", t.seconds,
                t.statements, t.statements / t.seconds);
  std::printf("cycle   %10.3f s  %ld statements  %.0f statements/s  peak RSS %.1f MiB\n",
              cycle_seconds, cycle_statements, cycle_statements / cycle_seconds, peak / 1024.0);
  std::printf("replay  %10.3f s  %ld statements  %.0f statements/s\n", replay_seconds,
              replay_statements, replay_statements / replay_seconds);
  std::printf("ratio cycle/replay %.3f   time per address %.1f us\n",
              cycle_seconds / replay_seconds, 1e6 * cycle_seconds / addresses);
  std::printf("best of %d runs each\n", repeats);
  std::printf("SUMMARY %d %.6f %.6f %ld\n", addresses, cycle_seconds, replay_seconds, peak);
  fs::remove_all(dir);
  fs::remove(stream_path);
  return 0;
}

}  // namespace
}  // namespace kb6

int main(int argc, char** argv) {
  kb6::ConfigureSqliteProcess();  // before the generator's first use of SQLite
  if (argc >= 2) {
    return kb6::RunOne(std::atoi(argv[1]),
                       argc > 2 ? static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)) : 42);
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
