// KB6TRAY --history on a club file logged by three real --once runs (all
// intervals; the daily one; the daily one with a trapped job).
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "report/tool_run.h"
#include "test_support.h"

namespace kb6::test {
namespace {

using nlohmann::json;

const std::string kGuidLess = "Ein Eintrag vor dem ersten Zyklus";

class HistoryCommand : public LoggedClub {
 protected:
  static void SetUpTestSuite() {
    LoggedClub::SetUpTestSuite();
    RawDb(trapped).Exec(
        "INSERT INTO tblALLGReorganisationProtokoll VALUES (9001, 46357.4, '02.12.2026', "
        "'09:30:00', '" +
        kGuidLess +
        "', 1, ''), (9002, 46300, '05.10.2026', "
        "'09:30:00', 'Zu alt', 2, '{00000000-0000-4000-8000-000000000000}')");
  }
  static ToolRun RunHistory(std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), {"--history", "--access-db", trapped});
    return At("2026-12-03 18:00:00", extra);
  }
};

TEST_F(HistoryCommand, JsonHoldsEachCycleNewestFirst_SqliteOdbcDriverStandsInForTheServer) {
  const ToolRun r = RunHistory({"--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const json doc = json::parse(r.out);
  ASSERT_EQ(doc["cycles"].size(), 3u);
  const json &newest = doc["cycles"][0], &full = doc["cycles"][2];
  EXPECT_EQ(full["intervals"], json({"1-tägig", "1-wöchig", "2-wöchig"}));
  EXPECT_EQ(newest["intervals"], json({"1-tägig"}));
  EXPECT_EQ(json({full["errors"], newest["errors"]}), json({0, 1}));
  // A trapped job ends, the interval goes on.
  EXPECT_EQ(json({full["complete"], newest["complete"]}), json({true, true}));

  for (size_t c = 0; c < 3; ++c) {
    const json& cycle = doc["cycles"][c];
    SCOPED_TRACE(cycle["run_id"].get<std::string>());
    // Every entry of the run, their durations adding up.
    EXPECT_EQ(
        std::to_string(cycle["entries"].size()),
        RawDb(trapped).One("SELECT COUNT(*) FROM tblALLGReorganisationProtokoll WHERE reoGUID = '" +
                           cycle["run_id"].get<std::string>() + "'"));
    long total = 0;
    std::map<std::string, json> jobs;
    for (const json& e : cycle["entries"]) {
      total += e["seconds"].get<long>();
      if (e["job"].is_string()) jobs[e["job"]] = e;
      EXPECT_EQ(e["error"], e["text"].get<std::string>().find("BOF oder EOF") != std::string::npos);
    }
    EXPECT_EQ(cycle["seconds"], total);
    EXPECT_EQ(jobs["gfUpdateAdressen"]["count"], 40);
    EXPECT_EQ(jobs.count("gfUpdateSpendenliste"), c == 0 ? 0u : 1u);  // trapped: no result
  }
  EXPECT_EQ(doc["without_run_id"].size(), 1u);
  // The SQL Server options read the same history; SQLite's ODBC driver
  // stands in for the server.
  const ToolRun odbc =
      RunTool(dir->path(),
              {"--history", "--json", "--sqlserver-host", "srv", "--sqlserver-db", trapped,
               "--sqlserver-user", "kbtray"},
              {"KB6TRAY_TEST_NOW=2026-12-03 18:00:00", "KB6TRAY_ODBC_DRIVER=SQLite3"});
  ASSERT_EQ(odbc.code, 0) << odbc.err;
  EXPECT_EQ(json::parse(odbc.out), doc);
  // --days limits the span; the old row stays out of the default 14 days.
  for (const auto& [days, cycles] :
       std::vector<std::pair<std::string, size_t>>{{"1", 1}, {"90", 4}}) {
    const ToolRun d = RunHistory({"--json", "--days", days});
    ASSERT_EQ(d.code, 0) << d.err;
    EXPECT_EQ(json::parse(d.out)["cycles"].size(), cycles) << days;
  }
  // A file without the log table cannot be read: exit 2.
  const std::string no_log = dir->File("no-log.db");
  RawDb(no_log).Exec("CREATE TABLE ADRESSEN (ADR_INR INTEGER)");
  const ToolRun bad = RunTool(dir->path(), {"--history", "--access-db", no_log});
  EXPECT_EQ(bad.code, 2) << bad.err;
  EXPECT_TRUE(bad.out.empty());
}

// The text goes to the terminal, the page to its file.
TEST_F(HistoryCommand, TextAndHtmlShowTheCyclesNewestFirstWithTheErrorMarked) {
  const std::string page = dir->File("history.html");
  const ToolRun r = RunHistory({"--html", page});
  ASSERT_EQ(r.code, 0) << r.err;
  const size_t newer = r.out.find("\n03.12.2026  10:00:"),
               older = r.out.find("\n01.12.2026  10:00:");
  ASSERT_LT(newer, older);
  ASSERT_NE(older, std::string::npos);
  EXPECT_LT(r.out.find("1-tägig  !! 1 Fehler", newer), older);  // in the newer block
  EXPECT_NE(r.out.find("1-tägig, 1-wöchig, 2-wöchig  {", older), std::string::npos);
  EXPECT_NE(r.out.find("  !! 02.12.2026  09:30:00  FEHLER: " + kGuidLess), std::string::npos);
  EXPECT_NE(r.out.find("\n3 Zyklen, 1 mit Fehlern, längster Zyklus 01.12.2026 10:00:"),
            std::string::npos)
      << r.out;
  const std::string html = ReadFile(page);
  auto count = [&](const std::string& part) {
    size_t n = 0;
    for (size_t at = html.find(part); at != std::string::npos; at = html.find(part, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("<rect class=\"bar"), 3u);
  EXPECT_EQ(count("<rect class=\"bar error\""), 1u);
  // The trapped cycle in the overview, its error entry, the entry without identifier.
  EXPECT_EQ(count("<tr class=\"error\">"), 3u);
  // Self-contained: no script, no element that loads anything.
  for (const char* part : {"<script", " src=", " href=", " data="}) EXPECT_EQ(count(part), 0u);
}

}  // namespace
}  // namespace kb6::test
