// KB6TRAY --check and --fix on real club files.
#include "check/club_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "db/sqlite_file.h"
#include "report/tool_run.h"
#include "test_support.h"

namespace kb6::test {
namespace {

namespace fs = std::filesystem;
using check::Finding;

class ClubCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    GenerateClubDatabase(faulty, {20, 3});
    // Another program's DDL: KZEHEMALIG without NOT NULL, PARAMETER without
    // its unique key (on a connection of its own: the next one reads it anew).
    RawDb(faulty).Exec(
        "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = replace(sql, "
        "'KZEHEMALIG BOOLEAN NOT NULL', 'KZEHEMALIG BOOLEAN') WHERE name = 'ADRESSEN'; "
        "PRAGMA writable_schema = OFF; ALTER TABLE PARAMETER RENAME TO P_OLD; CREATE TABLE "
        "PARAMETER (ID INTEGER, FELD TEXT COLLATE NOCASE, WERT TEXT); DROP TABLE P_OLD");
    RawDb raw(faulty);
    const auto first = raw.Column("SELECT ADR_INR FROM ADRESSEN ORDER BY ADR_INR LIMIT 3");
    a1 = first.at(0), a2 = first.at(1), a3 = first.at(2);
    for (const auto& [adr, set] : std::vector<std::pair<std::string, std::string>>{
             {a1, "GEBTAG = '1980-02-01', OFFEN = '12,50', ABW_ZAHLER = 1"},
             {a2, "GEBTAG = '01.03.1981', OFFEN = '1.234,56', ABW_ZAHLER = 2, ZAHL_ADINR = 987654"},
             {a3, "GEBTAG = '31.02.1980', OFFEN = '12 EUR', ABW_ZAHLER = 'Ja', KZEHEMALIG = NULL"}})
      raw.Exec("UPDATE ADRESSEN SET " + set + " WHERE ADR_INR = " + adr);
    raw.Exec("INSERT INTO BJOURNAL (ID, ADR_INR, ART, BS_NR) VALUES (88888, " + a1 +
             ", '4', '999')");
    raw.Exec(
        "UPDATE ABTEILUNGEN SET abtBeitrag = 'zwölf' WHERE ID = (SELECT MIN(ID) FROM ABTEILUNGEN);"
        "INSERT INTO STAMM1 (ART, NR, NAME) VALUES ('A', NULL, 'Ohne Nummer');"
        "UPDATE ABTEILUNGEN SET NR_ABTEILUNG = NULL WHERE ID = (SELECT MAX(ID) FROM ABTEILUNGEN);"
        "UPDATE KOMMUNIKATION SET NR = NULL WHERE ID = (SELECT MIN(ID) FROM KOMMUNIKATION);"
        "UPDATE BEITRAGSSCHLUESSEL SET NR_BS = 777 WHERE ID = (SELECT MIN(ID) FROM "
        "BEITRAGSSCHLUESSEL); INSERT INTO PARAMETER VALUES (1, 'AUFGABENTRAY1', '01.12.2026'), "
        "(2, 'aufgabentray1', '02.12.2026'), (3, 'AUFGABENTRAY7', '01.12.2026');"
        "INSERT INTO SATZZAEHLER (ID, TABELLE, FELD, WERT) VALUES (1, 'ADRESSEN', 'ADR_INR', 1), "
        "(2, 'ADRESSEN', 'ADR_INR', 1), (3, 'HISTORY', 'ID', 5); PRAGMA journal_mode = DELETE");
  }

  TempDir dir;
  std::string faulty = dir.File("faulty.db");
  std::string a1, a2, a3;
};

TEST_F(ClubCheck, EachPlantedFaultIsReportedWithCountFixablePartAndExamples) {
  const std::vector<Finding> all =
      check::CheckClubFile(OpenSqliteFile(faulty, SqliteAccess::kReadOnly).get());
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
    const auto f = std::find_if(all.begin(), all.end(), [&](const Finding& x) {
      return x.table == e.table && x.column == e.column && x.problem.rfind(e.problem, 0) == 0;
    });
    ASSERT_NE(f, all.end());
    EXPECT_EQ(f->count, e.count);
    EXPECT_EQ(f->fixable, e.fixable);
    EXPECT_TRUE(e.first_example.empty() || f->examples.front().rfind(e.first_example, 0) == 0)
        << f->examples.front();
  }
  EXPECT_EQ(all.size(), std::size(expected));
}

TEST_F(ClubCheck, CheckNeverWritesAndFixConvertsOnlyWhatReadsOneWay) {
  const std::string before = ReadFile(faulty);
  const ToolRun checked = RunTool(dir.path(), {"--check", "--access-db", faulty});
  EXPECT_EQ(checked.code, 1) << checked.err;
  EXPECT_EQ(ReadFile(faulty), before);

  const ToolRun fixed = RunTool(dir.path(), {"--check", "--fix", "--access-db", faulty});
  EXPECT_EQ(fixed.code, 1) << fixed.err;  // what needs a decision stays
  EXPECT_NE(fixed.out.find("5 Änderungen"), std::string::npos) << fixed.out;
  EXPECT_EQ(RawDb(faulty).One("SELECT group_concat(quote(GEBTAG) || ' ' || quote(OFFEN) || ' ' || "
                              "quote(ABW_ZAHLER), '; ') FROM ADRESSEN WHERE ADR_INR IN (" +
                              a1 + ", " + a2 + ", " + a3 + ")"),
            "29252 12.5 -1; 29646 1234.56 2; '31.02.1980' '12 EUR' 'Ja'");
}

TEST(ClubCheckReadings, AmountsAreConvertedOnlyWhenTheyReadOneWay) {
  const struct {
    const char* text;
    std::optional<double> value;
  } cases[] = {
      {" -3,5 ", -3.5},          {"12.5", 12.5},          {"1.234", std::nullopt},
      {"12.34,5", std::nullopt}, {"1,2,3", std::nullopt}, {",5", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(check::AmountFromText(c.text), c.value) << c.text;
}

// Overwrites the head of the first page of `table`'s b-tree.
void DamagePageOf(const std::string& path, const std::string& table) {
  RawDb raw(path);
  raw.Exec("PRAGMA journal_mode = DELETE");
  const std::string at = raw.One(
      "SELECT (rootpage - 1) * (SELECT page_size FROM pragma_page_size) FROM sqlite_master WHERE "
      "name = '" +
      table + "'");
  std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).seekp(std::stoll(at))
      << std::string(512, '\xA5');
}

class CheckFaults : public ::testing::Test {
 protected:
  void SetUp() override { GenerateClubDatabase(db, {20, 3}); }
  ToolRun Run(std::vector<std::string> args) {
    args.insert(args.end(), {"--access-db", db});
    return RunTool(dir.path(), args);
  }
  TempDir dir;
  std::string db = dir.File("club.db");
};

const std::string kFirst = " WHERE ADR_INR = (SELECT MIN(ADR_INR) FROM ADRESSEN)";

TEST_F(CheckFaults, WhatTheCycleTripsOnIsReported) {
  struct Case {
    const char* name;
    std::string sql;  // none: a damaged page
    std::vector<std::string> out_has;
  };
  const Case cases[] = {
      {"dropped column", "ALTER TABLE ADRESSEN DROP COLUMN BR_ANREDE", {"Spalten: BR_ANREDE\n"}},
      {"dropped table", "DROP TABLE HISTORY", {"HISTORY\n  (Tabelle)"}},
      {"infinite date",
       "UPDATE ADRESSEN SET GEBTAG = 9e999" + kFirst,
       {"unendlicher Wert (±Inf)", "(1 davon behebt --fix)"}},
      {"date out of range",
       "UPDATE ADRESSEN SET GEBTAG = 3000000" + kFirst,
       {"GEBTAG", "Datum außerhalb der Jahre 100 bis 9999"}},
      {"NUL byte",
       "UPDATE ADRESSEN SET NAME1 = 'Mül' || char(0) || 'ler'" + kFirst,
       {"NAME1", "NUL-Byte im Text"}},
      {"damaged page", "", {"kann nicht gelesen werden: database disk image is malformed"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* file : {"", "-wal", "-shm"}) fs::remove(db + file);
    GenerateClubDatabase(db, {20, 3});
    c.sql.empty() ? DamagePageOf(db, "ADRESSEN") : RawDb(db).Exec(c.sql);
    const ToolRun r = Run({"--check"});
    EXPECT_EQ(r.code, 1) << r.err;
    for (const std::string& piece : c.out_has)
      EXPECT_NE(r.out.find(piece), std::string::npos) << piece << "\n" << r.out;
  }
}

TEST_F(CheckFaults, FixFollowsTheProviderKindsAndNullsInfinities) {
  {
    RawDb raw(db);
    raw.Exec("ALTER TABLE ADRESSEN ADD COLUMN adrGeprueft YESNO");
    raw.Exec("ALTER TABLE ADRESSEN ADD COLUMN adrStempel TIMESTAMP");
    raw.Exec("UPDATE ADRESSEN SET adrGeprueft = 1, adrStempel = '01.03.2020', GEBTAG = 9e999" +
             kFirst);
  }
  const ToolRun r = Run({"--check", "--fix"});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("2 Änderungen geschrieben.\n"), std::string::npos) << r.out;
  RawDb raw(db);
  // A YESNO column is a number to the monitor: 1 stays 1.
  EXPECT_EQ(
      raw.One("SELECT adrGeprueft || '|' || adrStempel || '|' || typeof(GEBTAG) FROM ADRESSEN" +
              kFirst),
      "1|43891|null");
}

TEST_F(CheckFaults, FilesThatCannotBeCheckedEndWithTwo) {
  fs::copy_file("/etc/hostname", dir.File("text.db"));
  {
    RawDb raw(db);
    raw.Exec("PRAGMA writable_schema = ON");
    raw.Exec("UPDATE sqlite_master SET sql = 'CREATE TABLE HISTORY (' WHERE name = 'HISTORY'");
  }
  ToolRun check;
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--check", "--access-db", dir.File("text.db")},
           {"--check", "--access-db", db, "--sqlserver-host", "srv"},
           {"--check", "--access-db", db}}) {
    check = RunTool(dir.path(), args);
    EXPECT_EQ(check.code, 2) << args[2] << check.err;
  }
  // The malformed schema is named as such, by --check and by the cycle.
  const std::string cause = "' ist beschädigt: malformed database schema (HISTORY)";
  EXPECT_NE(check.err.find(cause), std::string::npos) << check.err;
  const ToolRun once = Run({"--once", "--datenpfad", dir.path()});
  EXPECT_NE(once.err.find(cause), std::string::npos) << once.err;
  EXPECT_EQ(once.err.find("kann nicht beschrieben werden"), std::string::npos) << once.err;
}

TEST_F(CheckFaults, ReadingCommandsWorkOnReadOnlyFilesAndMounts) {
  std::vector<std::string> places = {dir.File("ro")};
  fs::create_directories(places[0]);
  fs::copy_file(db, places[0] + "/club.db");
  fs::permissions(places[0] + "/club.db", fs::perms::owner_read | fs::perms::group_read);
  const std::string mnt = dir.File("mnt");
  ScopedTmpfs tmpfs(mnt, "16m");
  if (tmpfs.mounted()) {
    fs::copy_file(db, mnt + "/club.db");
    ASSERT_TRUE(tmpfs.RemountReadOnly()) << std::strerror(errno);
    places.push_back(mnt);
  }
  for (const std::string& place : places) {
    SCOPED_TRACE(place);
    const std::string file = place + "/club.db";
    const std::string before = ReadFile(file);
    for (const auto& [command, code] :
         {std::pair{"--history", 0}, {"--check", 0}, {"--status", 2}}) {
      const ToolRun r = RunTool(dir.path(), {command, "--access-db", file},
                                {"KB6TRAY_TEST_NOW=2026-12-06 18:00:00"});
      EXPECT_EQ(r.code, code) << command << r.out << r.err;
    }
    EXPECT_EQ(ReadFile(file), before);
    for (const char* beside : {"-wal", "-shm", "-journal"})
      EXPECT_FALSE(fs::exists(file + beside)) << beside;
  }
  if (!tmpfs.mounted()) GTEST_SKIP() << "read-only mount not tried: cannot mount a tmpfs here";
}

}  // namespace
}  // namespace kb6::test
