// A club file whose input columns hold Nulls, empty texts, quotes,
// backslashes, umlauts, very long texts, impossible dates and numbers that
// are none: a full cycle ends normally, and every change it makes is one the
// jobs may make, to a row a statement was built for.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <iostream>
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

// The names in a space-separated list.
std::set<std::string> Names(const std::string& list) {
  std::set<std::string> names;
  std::istringstream in(list);
  for (std::string name; in >> name;) names.insert(name);
  return names;
}

// Columns the cycle may change on any row it works on; date columns it may
// only clear; tables it owns wholly or may shorten.
const std::map<std::string, std::set<std::string>>& Derived() {
  static const std::map<std::string, std::set<std::string>> derived = {
      {"ADRESSEN",
       Names("adrGeburtstagTTMM GEBURTSTAG_TTMM GEBURTSTAG_MM adrAlter BR_ANREDE OFFEN "
             "adrEintrittHV adrEintritt_MM adrAlleAbteilungen adrAnzahlAbteilungen "
             "adrAnzahlAbteilungenMitAustritte adrJahrgang TELEFON_PRIVAT TELEFON_GESCHAEFT "
             "adrFaxPrivat FAX_GESCHAEFT EMAIL adrEMailGeschaeft HANDY INTERNET PAGER "
             "adrHomepageGeschaeft adrHomepagePrivat ANSCHRIFT NACH_VORNAME VOR_NACHNAME "
             "L_PLZ_ORT L_PLZ_ORT_STRASSE adrJahresbeitrag ABW_ZAHLER OFFEN_ZAHLER "
             "NAME_ABW_ZAHLER MITGL_NR_ABW_ZAHLER adrAnzFunktionen adrAnzEhrungen "
             "adrAnzMerkmale")},
      {"ABTEILUNGEN", {"abtBeitrag"}},
      {"BJOURNAL", {"bjoSpendenartText", "bjoSpendenartErstellt", "SPENDENDRUCK", "SPENDENNUMMER"}},
      {"STAMM1", {"st1AnzahlMitglieder"}},
  };
  return derived;
}
// What the daily maintenance changes on every address, active or not.
const std::set<std::string> kMaintained = {"WOHNGEBIET", "FAM_NR", "GESCHLECHT"};
const std::set<std::string> kClearedDates = {
    "DATUM1",     "DATUM2",      "DATUM3",          "DATUM4",      "EINTRITT",
    "AUSTRITT",   "KUEND_EING",  "KUEND_BEST",      "STILL_VON",   "STILL_BIS",
    "DATUM3_ALT", "BEZAHLT_BIS", "BEZAHLT_BIS_ALT", "SPENDENDRUCK"};
const std::set<std::string> kOwnedTables = {"tblMVAbteilungsuebersicht", "PARAMETER", "SATZZAEHLER",
                                            "tblALLGReorganisationProtokoll",
                                            "tblFIBUAuswertungsgruppen"};
const std::set<std::string> kCorrupted = {
    "ADRESSEN",      "STAMM1",     "ABTEILUNGEN", "BEITRAGSSCHLUESSEL", "BJOURNAL",
    "KOMMUNIKATION", "FUNKTIONEN", "EHRUNGEN",    "MERKMALE",           "SATZZAEHLER"};

using Snapshot = std::map<std::string, std::map<std::string, std::vector<std::string>>>;

Snapshot Take(const std::string& path) {
  Snapshot s;
  for (const auto& table : TableNames(path)) {
    std::string select = "rowid";
    for (const auto& c : ColumnNames(path, table)) select += " || char(31) || quote(\"" + c + "\")";
    RawDb db(path);
    for (const auto& line : db.Column("SELECT " + select + " FROM \"" + table + "\"")) {
      std::vector<std::string> cells;
      size_t start = 0;
      for (size_t at; (at = line.find('\x1f', start)) != std::string::npos; start = at + 1)
        cells.push_back(line.substr(start, at - start));
      cells.push_back(line.substr(start));
      const std::string rowid = cells.front();
      cells.erase(cells.begin());
      s[table][rowid] = std::move(cells);
    }
  }
  return s;
}

int Corrupt(const std::string& path, uint32_t seed) {
  std::mt19937 rng(seed);
  std::bernoulli_distribution hit(0.15);
  std::uniform_int_distribution<size_t> pick(0, BadValues().size() - 1);
  RawDb db(path);
  int cells = 0;
  db.Exec("BEGIN");
  for (const auto& table : kCorrupted) {
    const auto columns = ColumnNames(path, table);
    for (const auto& rowid : db.Column("SELECT rowid FROM \"" + table + "\"")) {
      for (const auto& c : columns) {
        if (c == "ID" || (table == "ADRESSEN" && c == "ADR_INR") || !hit(rng)) continue;
        // OR IGNORE: a Null in a NOT NULL column leaves the cell as it was.
        db.Exec("UPDATE OR IGNORE \"" + table + "\" SET \"" + c + "\" = " + BadValues()[pick(rng)] +
                " WHERE rowid = " + rowid);
        ++cells;
      }
    }
  }
  db.Exec("COMMIT");
  return cells;
}

TEST(Reliability, BadDataNeverCrashesAndChangesOnlyWhatTheJobsMayWrite) {
  TempDir dir;
  const std::string path = dir.File("bad.db");
  GenerateClubDatabase(path, {300, 3});
  const int cells = Corrupt(path, 4711);
  std::set<std::string> active;
  {
    RawDb db(path);
    for (const auto& a : db.Column("SELECT ADR_INR FROM ADRESSEN WHERE KZEHEMALIG = 0"))
      active.insert(a);
  }
  const Snapshot before = Take(path);
  const ProcessResult r = RunOnceQuickly(path, dir.path(), dir.File("err"));
  // Rows with values that cannot be converted fail: exit 1, no crash.
  ASSERT_TRUE(WIFEXITED(r.status) && WEXITSTATUS(r.status) <= 1) << r.err;
  const Snapshot after = Take(path);

  for (const auto& [table, rows] : before) {
    if (kOwnedTables.count(table)) continue;
    const auto columns = ColumnNames(path, table);
    const auto derived = Derived().count(table) ? Derived().at(table) : std::set<std::string>{};
    for (const auto& [rowid, cells] : rows) {
      auto it = after.at(table).find(rowid);
      if (it == after.at(table).end()) {
        EXPECT_EQ(table, "HISTORY") << "row " << rowid << " vanished";
        continue;
      }
      // The row's address: jobs write only to rows of active addresses.
      std::string adr;
      for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i] == "ADR_INR") adr = cells[i];
      const bool worked_on = table == "STAMM1" || table == "BJOURNAL" || active.count(adr);
      for (size_t i = 0; i < columns.size(); ++i) {
        const std::string& was = cells[i];
        const std::string& is = it->second[i];
        if (was == is) continue;
        const std::string& c = columns[i];
        const bool allowed = (derived.count(c) && worked_on) ||
                             (table == "ADRESSEN" && kMaintained.count(c)) ||
                             (kClearedDates.count(c) && is == "NULL");
        EXPECT_TRUE(allowed) << table << " row " << rowid << " column " << c << ": "
                             << was.substr(0, 60) << " -> " << is.substr(0, 60);
      }
    }
    EXPECT_EQ(after.at(table).size() <= rows.size(), true) << table << " grew";
  }
  const std::string log = LogText(dir.path());
  EXPECT_EQ(FirstBrokenLogLine(log), "");
  EXPECT_NE(log.find("Die Datenreorganisation 2-wöchig ist abgeschlossen."), std::string::npos);
  RawDb db(path);
  const auto traps =
      db.Column("SELECT reoEintrag FROM tblALLGReorganisationProtokoll WHERE reoTyp = 1");
  for (const auto& t : traps) EXPECT_NE(log.find(t.substr(0, 40)), std::string::npos) << t;
  std::cout << "bad cells: " << cells << ", error entries logged: " << traps.size() << "\n";
}

}  // namespace
}  // namespace kb6::test
