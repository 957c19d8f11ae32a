// The metrics file: accepted by promtool, agreeing with the run log, and
// replaced atomically.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_NE(WriteFileAtomically(dir.File("missing/kb6tray.prom"), "x"), "");
}

// Unix time of the newest end of an interval in the log, with TZ=UTC in
// the child.
double Ended(const std::string& db, const std::string& interval) {
  RawDb raw(db);
  const std::string where =
      "reoEintrag = 'Die Datenreorganisation " + interval + " ist abgeschlossen.'";
  return std::round((NewestEntryDay(raw, where) - 25569) * 86400);
}

TEST(Metrics, AfterOneAndTwoCyclesTheFileAgreesWithTheRunLog) {
  TempDir dir;
  const std::string db = dir.File("club.db"), prom = dir.File("kb6tray.prom");
  GenerateClubDatabase(db, {40, 5});
  auto once = [&](const std::string& file, const std::string& when) {
    const ToolRun r =
        RunTool(dir.path(),
                {"--once", "--access-db", file, "--datenpfad", dir.File("data"), "--metrics", prom},
                {kNoProgressPause, "TZ=UTC", "KB6TRAY_TEST_NOW=" + when});
    if (const std::string verdict = Promtool(prom); verdict != "absent") {
      EXPECT_EQ(verdict, "") << r.err;
    }
    return Samples(ReadFile(prom));
  };
  const std::string interval = "kb6tray_interval_last_run_timestamp_seconds{interval=";
  auto first = once(db, "2026-12-01 10:00:00+1");
  EXPECT_EQ(first.at("kb6tray_cycles_total"), 1);
  EXPECT_EQ(first.at(interval + "\"14d\"}"), Ended(db, "2-wöchig"));
  EXPECT_EQ(first.at("kb6tray_job_rows{job=\"gfUpdateAdressen\"}"), 40);  // all addresses
  // A day later: only the daily interval, with the donation job trapped.
  RawDb(db).Exec("INSERT INTO BJOURNAL (ID, ADR_INR, ART, BS_NR) VALUES (99999, 1, '4', '999')");
  auto second = once(db, "2026-12-02 10:00:00+1");
  EXPECT_EQ(second.at("kb6tray_cycles_total"), 2);
  EXPECT_EQ(second.at("kb6tray_cycles_with_errors_total"), 1);
  EXPECT_EQ(second.at(interval + "\"1d\"}"), Ended(db, "1-tägig"));
  EXPECT_EQ(second.at(interval + "\"7d\"}"), first.at(interval + "\"7d\"}"));
  // A job that did not run keeps its last run's values.
  EXPECT_EQ(second.at("kb6tray_job_rows{job=\"gfRefreshAbteilungsuebersicht\"}"),
            first.at("kb6tray_job_rows{job=\"gfRefreshAbteilungsuebersicht\"}"));
  // A file that is no database: the open failed, with its cause, whose quote,
  // backslash, line break and umlauts, cut to the label's length, promtool
  // must accept.
  std::string name = "\"v\"\\\n";
  for (int i = 0; i < 100; ++i) name += "ä";
  const std::string bad = dir.File(name + ".db");
  { std::ofstream(bad) << "keine Datenbank"; }
  auto third = once(bad, "2026-12-02 10:01:00");
  EXPECT_EQ(third.at("kb6tray_cycles_total"), 3);
  bool told = false;
  for (const auto& [name, value] : third)
    told |= name.rfind("kb6tray_database_open_failed{cause=\"Die Datei '", 0) == 0 && value == 1;
  EXPECT_TRUE(told) << ReadFile(prom);
}

}  // namespace
}  // namespace kb6::test
