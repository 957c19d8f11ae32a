// Bad values in every input column: the cycle ends with whole log lines,
// tells each trapped row, and loses or adds no row of the club's tables.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <map>
#include <random>
#include <set>
#include <sstream>

#include "process_support.h"
#include "reliability/reliability_support.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// SQL literals of bad values, split at '|'; each may land in any input column.
const std::vector<std::string>& BadValues() {
  static const std::vector<std::string> values = [] {
    std::vector<std::string> v;
    std::istringstream in(
        "NULL|''|'O''Neil'|'x'' WHERE 1=1 --'|'''; DELETE FROM ADRESSEN; --'|"
        "'\"doppelt\"'|'C:\\Verein\\'|'Jürgen Größe ÄÖÜß'|'31.02.2023'|'2023-13-45'|"
        "'00.00.0000'|'32.1.2020 25:61'|'zwölf'|'1,2,3'|'1e999'|'--5'|'4 OR 1=1'|'٣'|"
        "1e308|-1e308|2147483648|-1|0|1e9|-0.5|'#1-1-2000#'|'&'|'+'|'TRUE'|'%'|x'00ff'");
    for (std::string value; std::getline(in, value, '|');) v.push_back(value);
    v.push_back("'" + std::string(10000, 'W') + "'");
    return v;
  }();
  return values;
}

// Tables the cycle owns wholly or may shorten.
const std::set<std::string> kOwnedTables = {"tblMVAbteilungsuebersicht", "PARAMETER", "SATZZAEHLER",
                                            "tblALLGReorganisationProtokoll",
                                            "tblFIBUAuswertungsgruppen"};
const std::set<std::string> kCorrupted = {
    "ADRESSEN",      "STAMM1",     "ABTEILUNGEN", "BEITRAGSSCHLUESSEL", "BJOURNAL",
    "KOMMUNIKATION", "FUNKTIONEN", "EHRUNGEN",    "MERKMALE",           "SATZZAEHLER"};

std::map<std::string, std::string> Counts(const std::string& path) {
  std::map<std::string, std::string> counts;
  for (const auto& table : TableNames(path))
    counts[table] = RawDb(path).One("SELECT COUNT(*) FROM \"" + table + "\"");
  return counts;
}

void Corrupt(const std::string& path, uint32_t seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution hit(0.15);
  std::uniform_int_distribution<size_t> pick(0, BadValues().size() - 1);
  RawDb db(path);
  db.Exec("BEGIN");
  for (const auto& table : kCorrupted) {
    const auto columns = db.Column("SELECT name FROM pragma_table_info('" + table + "')");
    for (const auto& rowid : db.Column("SELECT rowid FROM \"" + table + "\"")) {
      for (const auto& c : columns) {
        if (c == "ID" || (table == "ADRESSEN" && c == "ADR_INR") || !hit(rng)) continue;
        // OR IGNORE: a Null in a NOT NULL column leaves the cell as it was.
        db.Exec("UPDATE OR IGNORE \"" + table + "\" SET \"" + c + "\" = " + BadValues()[pick(rng)] +
                " WHERE rowid = " + rowid);
      }
    }
  }
  db.Exec("COMMIT");
}

TEST(Reliability, BadDataNeverCrashesAndLosesNoRow) {
  TempDir dir;
  const std::string path = dir.File("bad.db");
  GenerateClubDatabase(path, {300, 3});
  Corrupt(path, 4711);
  const auto before = Counts(path);
  const ProcessResult r = RunOnceQuickly(path, dir.path(), dir.File("err"));
  // Rows with values that cannot be converted fail: exit 1, no crash.
  ASSERT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) <= 1) << r.err;
  const auto after = Counts(path);
  for (const auto& [table, count] : before) {
    if (kOwnedTables.count(table) || table == "HISTORY") continue;  // owned or shortened
    EXPECT_EQ(after.at(table), count) << table;
  }
  const std::string log = LogText(dir.path());
  EXPECT_EQ(FirstBrokenLogLine(log), "");
  EXPECT_NE(log.find("Die Datenreorganisation 2-wöchig ist abgeschlossen."), std::string::npos);
  for (const auto& t :
       RawDb(path).Column("SELECT reoEintrag FROM tblALLGReorganisationProtokoll WHERE reoTyp = 1"))
    EXPECT_NE(log.find(t.substr(0, 40)), std::string::npos) << t;
}

}  // namespace
}  // namespace kb6::test
