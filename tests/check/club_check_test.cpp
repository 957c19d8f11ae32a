// KB6TRAY --check and --fix on real club files: a file with each kind of
// fault planted, checked before and after --fix, and a clean demo file.
#include "check/club_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "db/sqlite_file.h"
#include "report/tool_run.h"
#include "test_support.h"

namespace kb6::test {
namespace {

using check::Finding;

// The file's findings, read through a read-only connection.
std::vector<Finding> Findings(const std::string& path) {
  SqliteHandle db = OpenSqliteFile(path, SqliteAccess::kReadOnly);
  return check::CheckClubFile(db.get());
}

const Finding* Get(const std::vector<Finding>& all, const std::string& table,
                   const std::string& column, const std::string& problem_start = "") {
  for (const Finding& f : all)
    if (f.table == table && f.column == column && f.problem.rfind(problem_start, 0) == 0) return &f;
  return nullptr;
}

class ClubCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    GenerateClubDatabase(faulty, {20, 3});
    // Another program's DDL: KZEHEMALIG without NOT NULL, PARAMETER without
    // its unique key.
    {
      RawDb raw(faulty);
      raw.Exec("PRAGMA writable_schema = ON");
      raw.Exec(
          "UPDATE sqlite_master SET sql = replace(sql, 'KZEHEMALIG BOOLEAN NOT NULL', "
          "'KZEHEMALIG BOOLEAN') WHERE name = 'ADRESSEN'");
      raw.Exec("PRAGMA writable_schema = OFF");
      raw.Exec("ALTER TABLE PARAMETER RENAME TO P_OLD");
      raw.Exec("CREATE TABLE PARAMETER (ID INTEGER, FELD TEXT COLLATE NOCASE, WERT TEXT)");
      raw.Exec("DROP TABLE P_OLD");
    }
    RawDb raw(faulty);
    a1 = raw.One("SELECT MIN(ADR_INR) FROM ADRESSEN");
    a2 = raw.One("SELECT MIN(ADR_INR) FROM ADRESSEN WHERE ADR_INR > " + a1);
    a3 = raw.One("SELECT MIN(ADR_INR) FROM ADRESSEN WHERE ADR_INR > " + a2);
    const std::string m1 = raw.One("SELECT MIN(ID) FROM ABTEILUNGEN");
    const std::string m2 = raw.One("SELECT MAX(ID) FROM ABTEILUNGEN");
    for (const auto& [adr, set] : std::vector<std::pair<std::string, std::string>>{
             {a1, "GEBTAG = '1980-02-01', OFFEN = '12,50', ABW_ZAHLER = 1"},
             {a2, "GEBTAG = '01.03.1981', OFFEN = '1.234,56', ABW_ZAHLER = 2, ZAHL_ADINR = 987654"},
             {a3, "GEBTAG = '31.02.1980', OFFEN = '12 EUR', ABW_ZAHLER = 'Ja', KZEHEMALIG = NULL"}})
      raw.Exec("UPDATE ADRESSEN SET " + set + " WHERE ADR_INR = " + adr);
    raw.Exec("UPDATE ABTEILUNGEN SET abtBeitrag = 'zwölf' WHERE ID = " + m1);
    raw.Exec("INSERT INTO STAMM1 (ART, NR, NAME) VALUES ('A', NULL, 'Ohne Nummer')");
    raw.Exec("UPDATE ABTEILUNGEN SET NR_ABTEILUNG = NULL WHERE ID = " + m2);
    raw.Exec("UPDATE KOMMUNIKATION SET NR = NULL WHERE ID = (SELECT MIN(ID) FROM KOMMUNIKATION)");
    raw.Exec(
        "UPDATE BEITRAGSSCHLUESSEL SET NR_BS = 777 WHERE ID = (SELECT MIN(ID) FROM "
        "BEITRAGSSCHLUESSEL)");
    raw.Exec("INSERT INTO BJOURNAL (ID, ADR_INR, ART, BS_NR) VALUES (88888, " + a1 +
             ", '4', '999')");
    raw.Exec(
        "INSERT INTO PARAMETER VALUES (1, 'AUFGABENTRAY1', '01.12.2026'), "
        "(2, 'aufgabentray1', '02.12.2026'), (3, 'AUFGABENTRAY7', '01.12.2026')");
    raw.Exec(
        "INSERT INTO SATZZAEHLER (ID, TABELLE, FELD, WERT) VALUES (1, 'ADRESSEN', "
        "'ADR_INR', 1), (2, 'ADRESSEN', 'ADR_INR', 1), (3, 'HISTORY', 'ID', 5)");
    raw.Exec("PRAGMA journal_mode = DELETE");
  }

  TempDir dir;
  std::string faulty = dir.File("faulty.db");
  std::string a1, a2, a3;
};

TEST_F(ClubCheck, EachPlantedFaultIsReportedWithCountFixablePartAndExamples) {
  const std::vector<Finding> all = Findings(faulty);
  const struct {
    const char* table;
    const char* column;
    const char* problem;
    int64_t count, fixable;
    std::string first_example;
  } expected[] = {
      {"ADRESSEN", "GEBTAG", "Text in DATETIME", 3, 2, a1},
      {"ADRESSEN", "OFFEN", "Text in Betrag", 3, 2, a1},
      {"ABTEILUNGEN", "abtBeitrag", "Text in Betrag", 1, 0, ""},
      {"ADRESSEN", "ABW_ZAHLER", "Ja/Nein", 3, 1, a1},
      {"ADRESSEN", "KZEHEMALIG", "Null in KZEHEMALIG", 1, 0, a3},
      {"ADRESSEN", "ZAHL_ADINR", "ZAHL_ADINR nennt keine", 1, 0, a2},
      {"STAMM1", "NR", "Abteilung", 1, 0, ""},
      {"ABTEILUNGEN", "NR_ABTEILUNG", "Mitgliedschaft", 1, 0, ""},
      {"KOMMUNIKATION", "NR", "Kommunikation", 1, 0, ""},
      {"BEITRAGSSCHLUESSEL", "NR_BS", "Beitragsschl", 1, 0, ""},
      {"BJOURNAL", "BS_NR", "Spendenbuchung", 1, 0, "88888"},
      {"PARAMETER", "FELD", "mehr als eine", 1, 0, "AUFGABENTRAY1 (2x)"},
      {"SATZZAEHLER", "TABELLE, FELD", "mehr als eine", 1, 0, "ADRESSEN.ADR_INR (2x)"},
      {"SATZZAEHLER", "WERT", "Zähler unter", 3, 0, "ADRESSEN.ADR_INR (1 < "},
      {"", "journal_mode", "Journalmodus 'delete'", 1, 0, ""},
  };
  for (const auto& e : expected) {
    SCOPED_TRACE(std::string(e.table) + "." + e.column);
    const Finding* f = Get(all, e.table, e.column, e.problem);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->count, e.count);
    EXPECT_EQ(f->fixable, e.fixable);
    const bool keyed = e.table[0] != '\0';  // the journal mode names no rows
    EXPECT_EQ(f->examples.size(), keyed ? static_cast<size_t>(std::min<int64_t>(e.count, 5)) : 0u);
    if (!e.first_example.empty()) {
      EXPECT_EQ(f->examples.front().rfind(e.first_example, 0), 0u) << f->examples.front();
    }
  }
  EXPECT_EQ(all.size(), std::size(expected));
  EXPECT_EQ(Get(all, "", "integrity_check"), nullptr);
}

TEST_F(ClubCheck, CheckNeverWritesAndFixConvertsOnlyWhatReadsOneWay) {
  const std::string before = ReadFile(faulty);
  const ToolRun checked = RunTool(dir.path(), {"--check", "--access-db", faulty});
  EXPECT_EQ(checked.code, 1) << checked.err;
  EXPECT_EQ(ReadFile(faulty), before);
  EXPECT_NE(checked.out.find("ADRESSEN\n  GEBTAG"), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("ADR_INR: " + a1 + ", " + a2 + ", " + a3 + "\n"), std::string::npos);

  const ToolRun fixed = RunTool(dir.path(), {"--check", "--fix", "--access-db", faulty});
  EXPECT_EQ(fixed.code, 1) << fixed.err;  // what needs a decision stays
  for (const std::string& change :
       {"ADRESSEN.GEBTAG ADR_INR=" + a1 + ": '1980-02-01' -> 29252 (01.02.1980)",
        "ADRESSEN.GEBTAG ADR_INR=" + a2 + ": '01.03.1981' -> 29646 (01.03.1981)",
        "ADRESSEN.OFFEN ADR_INR=" + a1 + ": '12,50' -> 12.5",
        "ADRESSEN.OFFEN ADR_INR=" + a2 + ": '1.234,56' -> 1234.56",
        "ADRESSEN.ABW_ZAHLER ADR_INR=" + a1 + ": '1' -> -1", std::string("5 Änderungen")})
    EXPECT_NE(fixed.out.find(change), std::string::npos) << change << "\n" << fixed.out;

  const std::vector<Finding> left = Findings(faulty);
  for (const auto& [column, count] : std::vector<std::pair<std::string, int64_t>>{
           {"GEBTAG", 1}, {"OFFEN", 1}, {"ABW_ZAHLER", 2}}) {
    const Finding* f = Get(left, "ADRESSEN", column);
    ASSERT_NE(f, nullptr) << column;
    EXPECT_EQ(f->count, count) << column;
    EXPECT_EQ(f->fixable, 0) << column;
  }
  RawDb raw(faulty);
  EXPECT_EQ(raw.One("SELECT GEBTAG FROM ADRESSEN WHERE ADR_INR = " + a3), "31.02.1980");
  EXPECT_EQ(raw.One("SELECT OFFEN FROM ADRESSEN WHERE ADR_INR = " + a3), "12 EUR");

  // A second --fix finds nothing more to convert.
  const ToolRun again = RunTool(dir.path(), {"--check", "--fix", "--access-db", faulty});
  EXPECT_NE(again.out.find("0 Änderungen"), std::string::npos) << again.out;
}

TEST_F(ClubCheck, FilesThatCannotBeCheckedEndWithTwo) {
  std::filesystem::copy_file("/etc/hostname", dir.File("text.db"));
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--check", "--access-db", dir.File("text.db")},
           {"--check", "--access-db", dir.File("missing.db")},
           {"--check", "--fix", "--access-db", dir.File("text.db")},
           {"--check", "--access-db", faulty, "--sqlserver-host", "srv"}}) {
    const ToolRun r = RunTool(dir.path(), args);
    EXPECT_EQ(r.code, 2) << args[2];
    EXPECT_EQ(r.err.rfind("KB6TRAY: ", 0), 0u) << r.err;
  }
}

TEST(ClubCheckReadings, AmountsAreConvertedOnlyWhenTheyReadOneWay) {
  const struct {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {"-3,5", -3.5},
      {" 7,25 ", 7.25},
      {"12.345.678,9", 12345678.9},
      {"12.5", 12.5},
      {"42", 42},
      {"1.234", std::nullopt},
      {"12.34,5", std::nullopt},
      {"1,2,3", std::nullopt},
      {",5", std::nullopt},
      {"", std::nullopt},
      {"1e5", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(check::AmountFromText(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace kb6::test
