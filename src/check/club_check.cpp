#include "check/club_check.h"

#include <algorithm>
#include <set>

#include "check/club_tables.h"
#include "common/dates.h"
#include "common/regional.h"
#include "common/text.h"
#include "db/club_schema.h"
#include "db/sqlite_file.h"

namespace kb6::check {

// ±Inf in a REAL column (SQLite stores no NaN: it becomes Null).
std::string NonFinite(const std::string& quoted_column) {
  return "typeof(" + quoted_column + ") = 'real' AND abs(" + quoted_column +
         ") > 1.7976931348623157e308";
}

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
    // A damaged file is named first; what can still be read is checked after.
    Readable("", [&] { FileLevel(); });
    MissingSchema();
    for (const TableInfo& t : tables_) Readable(t.name, [&] { Conventions(t); });
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
    Readable("STAMM1", [&] { FeeKeys(); });
    Readable("PARAMETER", [&] {
      Duplicates("PARAMETER", {"FELD"},
                 "mehr als eine Zeile je FELD: welcher Wert gilt, ist Zufall");
    });
    Readable("SATZZAEHLER", [&] {
      Duplicates("SATZZAEHLER", {"TABELLE", "FELD"},
                 "mehr als eine Zeile je TABELLE und FELD: zwei Programme können denselben "
                 "Schlüssel ziehen");
      CountersBelowKeys();
    });
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

  // Runs one part of the check; a table that cannot be read (a damaged page)
  // becomes a finding of its own instead of ending the check.
  template <typename Part>
  void Readable(const std::string& table, Part&& part) {
    try {
      part();
    } catch (const DbError& e) {
      Finding f =
          NewFinding(table, "(Lesen)", std::string("kann nicht gelesen werden: ") + e.what(), 1);
      Add(std::move(f));
    }
  }

  // Every table and column of the club schema the monitor reads or writes;
  // tblFIBUAuswertungsgruppen is optional (older files run without it).
  void MissingSchema() {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE, nullptr);
    SqliteHandle schema(raw);
    SqliteExec(schema.get(), "SELECT 1");
    if (sqlite3_exec(schema.get(), ClubSchemaSql(), nullptr, nullptr, nullptr) != SQLITE_OK)
      throw DbError{sqlite3_errcode(schema.get()), sqlite3_errmsg(schema.get())};
    for (const TableInfo& wanted : ReadTables(schema.get())) {
      if (EqualsNoCase(wanted.name, "tblFIBUAuswertungsgruppen")) continue;
      const TableInfo* have = Find(tables_, wanted.name);
      Finding f = NewFinding(wanted.name, "", "");
      for (const ColumnInfo& c : wanted.columns) {
        if (have && have->Has(c.name)) continue;
        ++f.count;
        if (f.examples.size() < kExamples) f.examples.push_back(c.name);
      }
      f.key_name = "Spalten";
      if (!have) {
        f.column = "(Tabelle)";
        f.problem = "Tabelle fehlt: die Jobs, die sie lesen oder schreiben, scheitern";
      } else {
        f.column = "(Spalten)";
        f.problem = "Spalten fehlen, die die Jobs lesen oder schreiben: ihre Abfragen scheitern";
      }
      Add(std::move(f));
    }
  }

  // `condition` names the column as {c}.
  void ExpectEmpty(const std::string& table, const std::string& column,
                   const std::string& condition, const std::string& problem) {
    const TableInfo* t = Find(tables_, table);
    if (!t || !t->Has(column)) return;
    std::string sql = condition;
    sql.replace(sql.find("{c}"), 3, SqliteQuoted(column));
    Readable(t->name, [&] { Add(FromHits(*t, column, problem, Scan(db_, *t, column, sql))); });
  }

  void Conventions(const TableInfo& t) {
    for (const ColumnInfo& c : t.columns) {
      const std::string q = SqliteQuoted(c.name);
      // A text with a NUL byte is cut there by the programs that read it
      // and fails the statements that write it back.
      Add(FromHits(
          t, c.name, "NUL-Byte im Text: Anweisungen mit diesem Wert scheitern",
          Scan(db_, t, c.name,
               "typeof(" + q + ") = 'text' AND instr(CAST(" + q + " AS BLOB), x'00') > 0")));
      if (c.kind == ColumnKind::kDate || c.kind == ColumnKind::kAmount) {
        const auto hits = Scan(db_, t, c.name, NonFinite(q));
        Finding f = FromHits(t, c.name,
                             "unendlicher Wert (±Inf): jede Umrechnung scheitert, der Job "
                             "übergeht die Zeile",
                             hits);
        f.fixable = f.count;
        Add(std::move(f));
      }
      if (c.kind == ColumnKind::kDate)
        Add(FromHits(t, c.name,
                     "Datum außerhalb der Jahre 100 bis 9999: die Umrechnung scheitert "
                     "(\"Überlauf\")",
                     Scan(db_, t, c.name,
                          "typeof(" + q + ") IN ('integer', 'real') AND NOT (" + NonFinite(q) +
                              ") AND (" + q + " < " + std::to_string(kMinDateSerial) + " OR " + q +
                              " >= " + std::to_string(kEndDateSerial) + ")")));
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
    SqliteQuery s(db_, "SELECT NR FROM STAMM1 WHERE ART = 'B' AND NR IS NOT NULL");
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
      cols += (cols.empty() ? "" : ", ") + SqliteQuoted(k);
      label += (label.empty() ? "" : " || '.' || ") + SqliteQuoted(k);
    }
    SqliteQuery s(db_, "SELECT " + label + ", COUNT(*) FROM " + SqliteQuoted(t->name) +
                           " GROUP BY " + cols + " HAVING COUNT(*) > 1 ORDER BY 1");
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
    SqliteQuery s(db_, "SELECT TABELLE, FELD, WERT FROM SATZZAEHLER ORDER BY TABELLE, FELD");
    while (s.Step()) {
      const TableInfo* t = Find(tables_, s.Text(0));
      if (!t || !t->Has(s.Text(1))) continue;
      SqliteQuery max(db_,
                      "SELECT MAX(" + SqliteQuoted(s.Text(1)) + ") FROM " + SqliteQuoted(t->name));
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
    SqliteQuery mode(db_, "PRAGMA journal_mode");
    std::string m = mode.Step() ? mode.Text(0) : "";
    if (const char* file = sqlite3_db_filename(db_, "main"); file && SqliteFileIsWal(file))
      m = "wal";
    if (m != "wal")
      Add(NewFinding("", "journal_mode",
                     "Journalmodus '" + m +
                         "': WAL empfohlen, damit das Hauptprogramm während eines "
                         "Laufs lesen und schreiben kann",
                     1));
    Finding f = NewFinding("", "integrity_check", "PRAGMA integrity_check meldet Schäden");
    f.key_name = "Meldungen";
    SqliteQuery check(db_, "PRAGMA integrity_check(100)");
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
