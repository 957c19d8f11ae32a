// KB6TRAY --status on club files logged by real --once runs, clock faked.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>

#include "report/tool_run.h"
#include "test_support.h"

namespace kb6::test {
namespace {

namespace fs = std::filesystem;

// Label -> value of each well-formed perfdata item.
std::map<std::string, std::string> ParsePerfdata(const std::string& line) {
  std::map<std::string, std::string> out;
  const size_t bar = line.find(" | ");
  if (bar == std::string::npos) return out;
  static const std::regex item("'([^']+)'=([0-9]+|U)s?;([^;]*);([^;]*);0");
  const std::string perf = line.substr(bar + 3);
  for (std::sregex_iterator it(perf.begin(), perf.end(), item), end; it != end; ++it)
    out[(*it)[1]] = (*it)[2];
  return out;
}

class StatusCommand : public LoggedClub {
 protected:
  static void SetUpTestSuite() {
    LoggedClub::SetUpTestSuite();
    // Entries of a completed one-day run dated 2038, by a clock that was
    // ahead: no recent run.
    future = dir->File("future.db");
    fs::copy_file(fresh, future);
    RawDb(future).Exec(
        "INSERT INTO tblALLGReorganisationProtokoll VALUES (9001, 50000, '20.01.2038', '10:00:00', "
        "'Die Datenreorganisation 1-tägig wird gestartet ...', 2, '{F}'), (9002, 50000, "
        "'20.01.2038', '10:00:09', 'Die Datenreorganisation 1-tägig ist abgeschlossen.', 2, "
        "'{F}')");
    no_log = dir->File("nolog.db");
    fs::copy_file(fresh, no_log);
    RawDb(no_log).Exec("DROP TABLE tblALLGReorganisationProtokoll");
  }
  static ToolRun Status(std::vector<std::string> args, const std::string& when) {
    args.insert(args.begin(), "--status");
    return At(when, args);
  }
  inline static std::string no_log, future;
};

TEST_F(StatusCommand, EachStateWithItsExitCodeAndSummary) {
  const std::string missing = dir->File("missing.db"),
                    late1 = "1-tägig überfällig: zuletzt abgeschlossen 02.12.2026";
  const char *t2 = "2026-12-02 18:00:00", *t4 = "2026-12-04 12:00:00";
  const struct {
    const char* name;
    std::string file;
    std::vector<std::string> more;
    std::string when;
    int code;  // and the state word the line starts with
    std::string part;
  } cases[] = {
      {"fresh", fresh, {}, t2, 0, "2-wöchig"},
      {"one-day overdue", fresh, {}, t4, 2, late1},
      {"seven-day overdue", fresh, {"--max-age-1", "30"}, "2026-12-10 12:00:00", 2, "1-wöchig"},
      {"trapped", trapped, {}, "2026-12-03 18:00:00", 1, "Fehler(n): BOF"},
      {"a run dated in the future does not count", future, {}, t4, 2, late1},
      {"missing file", missing, {}, t2, 2, "'" + missing + "' wurde nicht gefunden."},
      {"no log table", no_log, {}, t2, 3, "no such table"},
      {"limit out of range", fresh, {"--max-age-7", "0"}, t2, 3, "--max-age-7"},
      {"with --history", fresh, {"--history"}, t2, 3, "excludes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = c.more;
    args.insert(args.begin(), {"--access-db", c.file});
    const ToolRun r = Status(args, c.when);
    EXPECT_EQ(r.code, c.code) << r.out << r.err;
    const char* state[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    EXPECT_EQ(r.out.rfind(std::string("KB6TRAY ") + state[c.code] + " - ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(c.part), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  }
}

TEST_F(StatusCommand, PerfdataAgreesWithTheLogTable) {
  const double now = Day(2026, 12, 3, 18, 0, 0);
  const ToolRun r = Status({"--access-db", trapped}, "2026-12-03 18:00:00");
  const auto perf = ParsePerfdata(r.out);
  ASSERT_EQ(perf.size(), 5u) << r.out;
  RawDb raw(trapped);
  for (const auto& [label, name] :
       {std::pair{"age_1d", "1-tägig"}, {"age_7d", "1-wöchig"}, {"age_14d", "2-wöchig"}}) {
    const double newest = NewestEntryDay(
        raw, std::string("reoEintrag = 'Die Datenreorganisation ") + name + " ist abgeschlossen.'");
    EXPECT_EQ(perf.at(label), std::to_string(std::lround((now - newest) * 86400))) << label;
  }
  const std::string newest =
      raw.One("SELECT reoGUID FROM tblALLGReorganisationProtokoll ORDER BY reoID DESC LIMIT 1");
  EXPECT_EQ(perf.at("cycle_errors"), "1");  // the trapped donation job

  // --json carries the same facts for scripts.
  const ToolRun j = Status({"--access-db", trapped, "--json"}, "2026-12-03 18:00:00");
  const auto doc = nlohmann::json::parse(j.out);
  EXPECT_EQ(doc["last_cycle"]["run_id"], newest);
  EXPECT_NE(doc["last_cycle"]["first_error"].get<std::string>().find("BOF oder EOF"),
            std::string::npos);
}

TEST_F(StatusCommand, AFileLockedPastTheBusyTimeoutIsCritical) {
  // A program that holds the file exclusively; its change is never committed.
  RawDb locker(fresh);
  locker.Exec("PRAGMA locking_mode=EXCLUSIVE");
  locker.Exec("BEGIN EXCLUSIVE");
  locker.Exec("UPDATE ADRESSEN SET KZEHEMALIG = KZEHEMALIG WHERE ADR_INR = 1");
  const ToolRun locked = Status({"--access-db", fresh}, "2026-12-02 18:00:00");
  EXPECT_EQ(locked.code, 2) << locked.out;
  EXPECT_NE(locked.out.find("locked"), std::string::npos) << locked.out;
}

}  // namespace
}  // namespace kb6::test
