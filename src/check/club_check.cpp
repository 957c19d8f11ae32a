#include "check/club_check.h"

#include <algorithm>
#include <set>

#include "check/club_tables.h"
#include "check/sqlite_handle.h"
#include "common/regional.h"

namespace kb6::check {
namespace {

constexpr size_t kExamples = 5;

Finding NewFinding(std::string table, std::string column, std::string problem, int64_t count = 0) {
  Finding f;
  f.table = std::move(table);
  f.column = std::move(column);
  f.problem = std::move(problem);
  f.count = count;
  return f;
}

Finding FromHits(const TableInfo& t, const std::string& column, std::string problem,
                 const std::vector<Hit>& hits) {
  Finding f = NewFinding(t.name, column, std::move(problem), static_cast<int64_t>(hits.size()));
  f.key_name = t.key_name;
  for (size_t i = 0; i < hits.size() && i < kExamples; ++i) f.examples.push_back(hits[i].key);
  return f;
}

class Checker {
 public:
  explicit Checker(sqlite3* db) : db_(db), tables_(ReadTables(db)) {}

  std::vector<Finding> Run() {
    for (const TableInfo& t : tables_) Conventions(t);
    ExpectEmpty("ADRESSEN", "KZEHEMALIG", "{c} IS NULL",
                "Null in KZEHEMALIG: die Adresse ist für jeden Job unsichtbar");
    ExpectEmpty("ADRESSEN", "ADR_INR", "{c} IS NULL",
                "Null-Schlüssel: die Jobs können die Adresse nicht ansprechen");
    ExpectEmpty("STAMM1", "NR", "{c} IS NULL AND ART IN ('A', 'B')",
                "Abteilung (ART 'A') oder Beitragsschlüssel (ART 'B') ohne NR: hält Jobs an "
                "oder wird übergangen");
    ExpectEmpty("ABTEILUNGEN", "NR_ABTEILUNG", "{c} IS NULL",
                "Mitgliedschaft ohne Abteilungsnummer: hält Jobs an oder wird übergangen");
    ExpectEmpty("KOMMUNIKATION", "NR", "{c} IS NULL",
                "Kommunikationseintrag ohne NR: beendet den Komplettlauf der Adressen");
    if (Has("ADRESSEN", {"ADR_INR", "ZAHL_ADINR"})) {
      ExpectEmpty("ADRESSEN", "ZAHL_ADINR",
                  "{c} IS NOT NULL AND NOT EXISTS (SELECT 1 FROM ADRESSEN p WHERE p.ADR_INR = "
                  "ADRESSEN.ZAHL_ADINR)",
                  "ZAHL_ADINR nennt keine Adresse: der abweichende Zahler bleibt veraltet");
      ExpectEmpty("ADRESSEN", "ZAHL_ADINR",
                  "{c} IS NOT NULL AND EXISTS (SELECT 1 FROM ADRESSEN p WHERE p.ADR_INR = "
                  "ADRESSEN.ZAHL_ADINR AND p.ZAHL_ADINR IS NULL)",
                  "ZAHL_ADINR nennt eine Adresse ohne eigene ZAHL_ADINR: beendet den "
                  "Komplettlauf der Adressen");
    }
    FeeKeys();
    Duplicates("PARAMETER", {"FELD"}, "mehr als eine Zeile je FELD: welcher Wert gilt, ist Zufall");
    Duplicates("SATZZAEHLER", {"TABELLE", "FELD"},
               "mehr als eine Zeile je TABELLE und FELD: zwei Programme können denselben "
               "Schlüssel ziehen");
    CountersBelowKeys();
    FileLevel();
    return std::move(found_);
  }

 private:
  bool Has(const std::string& table, std::initializer_list<const char*> columns) const {
    const TableInfo* t = Find(tables_, table);
    if (!t) return false;
    for (const char* c : columns)
      if (!t->Has(c)) return false;
    return true;
  }

  void Add(Finding f) {
    if (f.count > 0) found_.push_back(std::move(f));
  }

  // `condition` names the column as {c}.
  void ExpectEmpty(const std::string& table, const std::string& column,
                   const std::string& condition, const std::string& problem) {
    const TableInfo* t = Find(tables_, table);
    if (!t || !t->Has(column)) return;
    std::string sql = condition;
    sql.replace(sql.find("{c}"), 3, Quoted(column));
    Add(FromHits(*t, column, problem, Scan(db_, *t, column, sql)));
  }

  void Conventions(const TableInfo& t) {
    for (const ColumnInfo& c : t.columns) {
      const std::string q = Quoted(c.name);
      if (c.kind == ColumnKind::kDate) {
        const auto hits = Scan(db_, t, c.name, "typeof(" + q + ") = 'text'");
        Finding f = FromHits(t, c.name,
                             "Text in DATETIME-Spalte: ein Text liegt im Vergleich über jeder "
                             "Zahl, Datumsbedingungen treffen falsch",
                             hits);
        f.fixable = std::count_if(hits.begin(), hits.end(),
                                  [](const Hit& h) { return DateFromText(h.text).has_value(); });
        Add(std::move(f));
      } else if (c.kind == ColumnKind::kAmount) {
        const auto hits = Scan(db_, t, c.name, "typeof(" + q + ") = 'text'");
        Finding f =
            FromHits(t, c.name, "Text in Betragsspalte: SUM liest nur die führenden Ziffern", hits);
        f.fixable = std::count_if(hits.begin(), hits.end(),
                                  [](const Hit& h) { return AmountFromText(h.text).has_value(); });
        Add(std::move(f));
      } else if (c.kind == ColumnKind::kYesNo) {
        const auto hits = Scan(db_, t, c.name,
                               q + " IS NOT NULL AND NOT (typeof(" + q +
                                   ") IN ('integer', 'real') "
                                   "AND " +
                                   q + " IN (-1, 0))");
        Finding f = FromHits(t, c.name,
                             "Ja/Nein-Wert außer -1, 0 und Null: \"= TRUE\" anderer Programme "
                             "verfehlt ihn",
                             hits);
        f.fixable = std::count_if(hits.begin(), hits.end(), [](const Hit& h) {
          return h.type != SQLITE_TEXT && h.type != SQLITE_BLOB && h.number == 1;
        });
        Add(std::move(f));
      }
    }
  }

  // Fee keys and kind-"4" donation bookings name a fee-key master row
  // (STAMM1, ART 'B') by its NR; BS_NR is read by its leading number, as
  // the donation job reads it.
  void FeeKeys() {
    if (!Has("STAMM1", {"ART", "NR"})) return;
    std::set<double> masters;
    Statement s(db_, "SELECT NR FROM STAMM1 WHERE ART = 'B' AND NR IS NOT NULL");
    while (s.Step()) masters.insert(s.Double(0));
    if (Has("BEITRAGSSCHLUESSEL", {"NR_BS"})) {
      const TableInfo& t = *Find(tables_, "BEITRAGSSCHLUESSEL");
      std::vector<Hit> hits;
      for (Hit& h : Scan(db_, t, "NR_BS", "1"))
        if (h.type == SQLITE_NULL || !masters.contains(h.number)) hits.push_back(std::move(h));
      Add(FromHits(t, "NR_BS",
                   "Beitragsschlüssel ohne Stammsatz in STAMM1 (ART 'B'): der Beitrag fehlt in "
                   "der Berechnung",
                   hits));
    }
    if (Has("BJOURNAL", {"ART", "BS_NR"})) {
      const TableInfo& t = *Find(tables_, "BJOURNAL");
      const std::string open = Has("BJOURNAL", {"bjoSpendenartErstellt"})
                                   ? " AND (bjoSpendenartErstellt = 0 OR "
                                     "bjoSpendenartErstellt IS NULL)"
                                   : "";
      std::vector<Hit> hits;
      for (Hit& h : Scan(db_, t, "BS_NR", "ART = '4'" + open))
        if (!masters.contains(LeadingNumber(h.text))) hits.push_back(std::move(h));
      Add(FromHits(t, "BS_NR",
                   "Spendenbuchung der Art 4 ohne Stammsatz in STAMM1: hält den Spendenjob "
                   "jeden Tag an",
                   hits));
    }
  }

  void Duplicates(const std::string& table, const std::vector<std::string>& key,
                  const std::string& problem) {
    const TableInfo* t = Find(tables_, table);
    if (!t) return;
    std::string cols, label;
    for (const std::string& k : key) {
      if (!t->Has(k)) return;
      cols += (cols.empty() ? "" : ", ") + Quoted(k);
      label += (label.empty() ? "" : " || '.' || ") + Quoted(k);
    }
    Statement s(db_, "SELECT " + label + ", COUNT(*) FROM " + Quoted(t->name) + " GROUP BY " +
                         cols + " HAVING COUNT(*) > 1 ORDER BY 1");
    Finding f = NewFinding(t->name, key.size() == 1 ? key.front() : key.front() + ", " + key.back(),
                           problem);
    for (const std::string& k : key) f.key_name += (f.key_name.empty() ? "" : ".") + k;
    while (s.Step()) {
      ++f.count;
      if (f.examples.size() < kExamples)
        f.examples.push_back(s.Text(0) + " (" + std::to_string(s.Int(1)) + "x)");
    }
    Add(std::move(f));
  }

  // The record counter hands out WERT + 1 next: a WERT below the highest key
  // of its table hands out a key that is taken.
  void CountersBelowKeys() {
    if (!Has("SATZZAEHLER", {"TABELLE", "FELD", "WERT"})) return;
    Finding f =
        NewFinding("SATZZAEHLER", "WERT",
                   "Zähler unter dem höchsten Schlüssel seiner Tabelle: der nächste Schlüssel ist "
                   "schon vergeben");
    f.key_name = "TABELLE.FELD";
    Statement s(db_, "SELECT TABELLE, FELD, WERT FROM SATZZAEHLER ORDER BY TABELLE, FELD");
    while (s.Step()) {
      const TableInfo* t = Find(tables_, s.Text(0));
      if (!t || !t->Has(s.Text(1))) continue;
      Statement max(db_, "SELECT MAX(" + Quoted(s.Text(1)) + ") FROM " + Quoted(t->name));
      if (!max.Step() || max.Type(0) == SQLITE_NULL) continue;
      const bool below = s.Type(2) == SQLITE_NULL || s.Double(2) < max.Double(0);
      if (!below) continue;
      ++f.count;
      if (f.examples.size() < kExamples)
        f.examples.push_back(s.Text(0) + "." + s.Text(1) + " (" +
                             (s.Type(2) == SQLITE_NULL ? "Null" : s.Text(2)) + " < " + max.Text(0) +
                             ")");
    }
    Add(std::move(f));
  }

  void FileLevel() {
    Statement mode(db_, "PRAGMA journal_mode");
    const std::string m = mode.Step() ? mode.Text(0) : "";
    if (m != "wal")
      Add(NewFinding("", "journal_mode",
                     "Journalmodus '" + m +
                         "': WAL empfohlen, damit das Hauptprogramm während eines "
                         "Laufs lesen und schreiben kann",
                     1));
    Finding f = NewFinding("", "integrity_check", "PRAGMA integrity_check meldet Schäden");
    f.key_name = "Meldungen";
    Statement check(db_, "PRAGMA integrity_check(100)");
    while (check.Step()) {
      if (check.Text(0) == "ok") continue;
      ++f.count;
      if (f.examples.size() < kExamples) f.examples.push_back(check.Text(0));
    }
    Add(std::move(f));
  }

  sqlite3* db_;
  std::vector<TableInfo> tables_;
  std::vector<Finding> found_;
};

}  // namespace

std::vector<Finding> CheckClubFile(sqlite3* db) { return Checker(db).Run(); }

}  // namespace kb6::check
