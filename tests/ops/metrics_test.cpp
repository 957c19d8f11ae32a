// The metrics file: accepted by promtool, its values against the run log
// after one and two real --once cycles, and replaced atomically.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include "host/metrics_file.h"
#include "process_support.h"
#include "report/tool_run.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// promtool's verdict on a file; skipped where promtool is not installed
// (scripts/setup installs it, so CI always has it).
std::string Promtool(const std::string& file) {
  if (std::system("command -v promtool >/dev/null 2>&1") != 0) return "absent";
  const std::string out = file + ".promtool";
  const int rc =
      std::system(("promtool check metrics < '" + file + "' > '" + out + "' 2>&1").c_str());
  return rc == 0 ? "" : "promtool: " + ReadFile(out);
}

// "name{labels}" -> value, of every sample.
std::map<std::string, double> Samples(const std::string& text) {
  std::map<std::string, double> out;
  static const std::regex sample(R"(^([a-zA-Z0-9_:]+(\{[^}]*\})?) (\S+)$)");
  std::smatch m;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (std::regex_match(line, m, sample)) out[m[1]] = std::stod(m[3]);
  return out;
}

TEST(Metrics, RenderedStateIsValidAndResumesItsCounters) {
  TempDir dir;
  MetricsState s;
  s.intervals[0] = IntervalMetrics{1764928812, 12};
  s.intervals[2] = IntervalMetrics{1764500000, 40};
  s.jobs["gfUpdateAdressen"] = {330, 3};
  s.jobs["DailyMaintenance"] = {0, 0};
  s.cycles_total = 7;
  s.cycles_with_errors_total = 2;
  s.last_cycle_unix = 1764928812;
  s.last_cycle_seconds = 12;
  s.open_failed = true;
  s.open_cause =
      "Die Datenbankdatei '/srv/\"v\"\\club.db' ist schreibgeschützt.\n" + std::string(100, 'x');
  const std::string file = dir.File("kb6tray.prom");
  ASSERT_EQ(WriteFileAtomically(file, RenderMetrics(s)), "");
  const std::string verdict = Promtool(file);
  if (verdict == "absent") GTEST_SKIP() << "promtool is not installed (scripts/setup installs it)";
  EXPECT_EQ(verdict, "");
  const auto samples = Samples(ReadFile(file));
  EXPECT_EQ(samples.at("kb6tray_interval_last_run_timestamp_seconds{interval=\"1d\"}"), 1764928812);
  EXPECT_EQ(samples.count("kb6tray_interval_last_run_timestamp_seconds{interval=\"7d\"}"), 0u);
  EXPECT_EQ(samples.at("kb6tray_job_failed_writes{job=\"gfUpdateAdressen\"}"), 3);
  EXPECT_EQ(samples.at("kb6tray_cycles_with_errors_total"), 2);
  MetricsState resumed;
  ResumeFromMetrics(ReadFile(file), resumed);
  EXPECT_EQ(resumed.cycles_total, 7);
  EXPECT_EQ(resumed.cycles_with_errors_total, 2);
  EXPECT_EQ(resumed.jobs.at("gfUpdateAdressen").rows, 330);
  EXPECT_EQ(resumed.jobs.at("gfUpdateAdressen").failed_writes, 3);
}

TEST(Metrics, AReaderNeverSeesAPartialFile) {
  TempDir dir;
  const std::string file = dir.File("kb6tray.prom");
  // Large enough that a plain rewrite would be seen half done.
  const std::string texts[] = {std::string(1 << 18, 'a') + "\n", std::string(1 << 17, 'b') + "\n"};
  ASSERT_EQ(WriteFileAtomically(file, texts[0]), "");
  std::atomic<bool> done{false};
  int reads = 0, partial = 0;
  std::thread reader([&] {
    while (!done) {
      const std::string seen = ReadFile(file);
      ++reads;
      partial += seen != texts[0] && seen != texts[1];
    }
  });
  for (int i = 0; i < 200; ++i) ASSERT_EQ(WriteFileAtomically(file, texts[i % 2]), "");
  done = true;
  reader.join();
  EXPECT_EQ(partial, 0) << "of " << reads << " reads";
  EXPECT_GT(reads, 0);
  // No temporary file stays behind.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 1);
  EXPECT_NE(WriteFileAtomically(dir.File("missing/kb6tray.prom"), "x"), "");
}

}  // namespace
}  // namespace kb6::test
