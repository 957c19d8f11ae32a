// The exact statements each part of the monitor sends to a SQL Server, kept as
// golden streams; scripted rows lead each job through every statement it builds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <utility>

#include "db/sqlserver_rewrite.h"
#include "jobs/aufgaben.h"
#include "scheduler/daily_maintenance.h"
#include "scheduler/due_checks.h"
#include "test_support.h"

namespace kb6::test {
namespace {

// A SQL Server cannot run here: this double records every statement ("Q: "
// queries, "X: " changes) and answers from the first script whose needle the
// statement contains (a counted one only that often); unscripted queries get
// no rows, unscripted changes one row affected.
class SqlServerRecordingDouble {
 public:
  void Answer(std::string needle, RowSet rows, int uses = -1) {
    scripts_.push_back({true, std::move(needle), std::move(rows), 0, uses});
  }
  void Affect(std::string needle, int64_t count, int uses = -1) {
    scripts_.push_back({false, std::move(needle), {}, count, uses});
  }
  void Register(ProviderRegistry& registry) {
    registry.Register("SQLOLEDB.1", [this](const ConnectionAttributes&) {
      return std::make_unique<Session>(*this);
    });
  }
  std::vector<std::string> statements;

 private:
  struct Script {
    bool query;
    std::string needle;
    RowSet rows;
    int64_t count = 1;
    int uses = -1;
  };
  const Script& Record(bool query, const std::string& sql) {
    statements.push_back((query ? "Q: " : "X: ") + sql);
    for (auto& s : scripts_) {
      if (s.query != query || s.uses == 0 || sql.find(s.needle) == std::string::npos) continue;
      if (s.uses > 0) --s.uses;
      return s;
    }
    return unscripted_;
  }
  struct Session final : ProviderSession {
    explicit Session(SqlServerRecordingDouble& d) : owner(d) {}
    int64_t Execute(const std::string& sql) override { return owner.Record(false, sql).count; }
    void Query(const std::string& sql, RowSet& out) override { out = owner.Record(true, sql).rows; }
    SqlServerRecordingDouble& owner;
  };
  std::vector<Script> scripts_;
  const Script unscripted_{false, "", {}, 1, -1};
};

// Compares a stream with tests/golden/sqlserver/<name>.txt, one statement per
// line; KB6_UPDATE_GOLDEN=1 rewrites the file instead (review the diff).
void ExpectGoldenStream(const std::string& name, const std::vector<std::string>& statements) {
  const std::string path = std::string(KB6_GOLDEN_DIR) + "/sqlserver/" + name + ".txt";
  std::string actual;
  for (const auto& s : statements) actual += s + "\n";
  if (const char* update = std::getenv("KB6_UPDATE_GOLDEN"); update && *update == '1') {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  EXPECT_EQ(ReadFile(path), actual) << path << " (KB6_UPDATE_GOLDEN=1 rewrites it)";
}

Value D(int y, int m, int d) { return Value::Date(Day(y, m, d)); }
const Value N = Value::Null();

RowSet FeeKeys(std::vector<std::vector<Value>> rows) {
  return RowSet{
      {"AbtNummer",      "BSNummer",       "BSName",         "ErhebungVon",    "ErhebungBis",
       "Sollstellung",   "Kuerzung1Jahr",  "Berechnungsart", "BetragWert",     "BetragZaehler",
       "Einheit",        "Zahlungsweise",  "Jahresbeitrag",  "Jahresbeitrag2", "Jahresbeitrag3",
       "Jahresbeitrag4", "Jahresbeitrag5", "Personen1",      "Personen2",      "Personen3",
       "Personen4",      "Personen5"},
      std::move(rows)};
}

// One fee key: number, name, calculation kind, amounts and bounds.
std::vector<Value> Key(int nr, const char* name, Value kind, Value wert, Value zaehler, Value zw,
                       Value jb, Value von = N, Value bis = N) {
  return {Value(3), Value(nr), Value(name), von,         bis,
          N,        N,         kind,        wert,        zaehler,
          N,        zw,        jb,          Value(80.0), Value(100.0),
          N,        N,         Value(1),    Value(2),    Value(3),
          N,        N};
}

class SqlServerStream : public ::testing::Test {
 protected:
  SqlServerStream() {
    server.Register(providers);
    settings.SQLServer_Host = "srv";
    settings.SQLServer_DB = "club";
    settings.Datenpfad = dir.path();
    settings.RunGuid = "{0F0E0D0C-0B0A-4908-8706-050403020100}";
    db = std::make_unique<Database>(settings, regional, clock, providers);
    log = std::make_unique<RunLog>(settings, *db, regional, clock, dir.path(), "KB6TRAY");
    jobs = std::make_unique<clsAufgaben>(*db, regional, clock, *log, progress);
    EXPECT_TRUE(db->OpenDatabase());
    server.Answer("SATZZAEHLER", RowSet{{"WERT"}, {{Value("41")}}});
  }
  void Count(int n) { server.Answer("ANZAHL", RowSet{{"ANZAHL"}, {{Value(n)}}}, 1); }

  TempDir dir;
  FixedClock clock{Day(2026, 12, 6, 10, 30)};
  RegionalSettings regional = RegionalSettings::German();
  Settings settings;
  ProviderRegistry providers;
  SqlServerRecordingDouble server;
  std::unique_ptr<Database> db;
  std::unique_ptr<RunLog> log;
  ProgressRecorder progress;
  std::unique_ptr<clsAufgaben> jobs;
};

TEST_F(SqlServerStream, DueChecks) {
  server.Answer("AUFGABENTRAY7", RowSet{{"WERT"}, {{Value("28.11.2026")}}});
  server.Answer("AUFGABENTRAY14", RowSet{{"WERT"}, {{Value("01.12.2026")}}});
  server.Answer("SELECT ID FROM PARAMETER", RowSet{{"ID"}, {{Value(42)}}}, 1);
  EXPECT_TRUE(XF_DoAufgabenEintaegig(*db, regional, clock));  // no row yet
  EXPECT_TRUE(XF_DoAufgabenWoechentlich(*db, regional, clock));
  EXPECT_FALSE(XF_DoAufgabenZweiWoechentlich(*db, regional, clock));
  // Another monitor claimed the stale stamp first.
  server.Affect("UPDATE PARAMETER", 0, 1);
  EXPECT_FALSE(XF_DoAufgabenWoechentlich(*db, regional, clock));
  ExpectGoldenStream("due_checks", server.statements);
}

TEST_F(SqlServerStream, RecordCounter) {
  server.Affect("UPDATE SATZZAEHLER", 0, 1);  // another program drew first
  EXPECT_EQ(db->GetNextID("ADRESSEN", "ADR_INR"), 42);
  SqlServerRecordingDouble fresh;
  ProviderRegistry registry;
  fresh.Register(registry);
  Database other(settings, regional, clock, registry);
  ASSERT_TRUE(other.OpenDatabase());
  fresh.Answer("MAX(", RowSet{{"MyMax"}, {{Value(7)}}});
  EXPECT_EQ(other.GetNextID("HISTORY", "ID"), 8);
  server.statements.insert(server.statements.end(), fresh.statements.begin(),
                           fresh.statements.end());
  ExpectGoldenStream("record_counter", server.statements);
}

TEST_F(SqlServerStream, RunLogAndDailyMaintenance) {
  log->WriteLog("Fehler bei O'Neil; TRUE", 1, "basDatenbank", "ExecuteSQL");
  DailyMaintenance(*db, regional, clock, *log);
  ExpectGoldenStream("run_log_and_maintenance", server.statements);
}

TEST_F(SqlServerStream, UpdateDatumsfelder) {
  jobs->gfUpdateDatumsfelder();
  ExpectGoldenStream("datumsfelder", server.statements);
}

TEST_F(SqlServerStream, UpdateAdressen) {
  Count(3);
  server.Answer(
      "ORDER BY ADR_INR",
      RowSet{{"ADR_INR", "GEBTAG", "ANREDE", "TITEL", "NAME1", "adrNachnameVon", "BR_ANREDE",
              "adrAlter", "OFFEN"},
             {{Value(1), D(1980, 3, 15), "Frau", "Dr.", "O'Connor", "", N, Value(10), Value(5.0)},
              {Value(2), N, "Herrn", N, "Berg", "von", N, N, Value(12.5)},
              {Value(3), D(2000, 2, 29), "Firma", N, "Werk", N, "Hallo", Value(26), N}}});
  server.Answer("SUM(SOLL)",
                RowSet{{"ANZAHL", "SumSoll", "SumHaben"}, {{Value(2), Value(30.0), Value(12.25)}}},
                1);
  server.Answer("SUM(SOLL)", RowSet{{"ANZAHL", "SumSoll", "SumHaben"}, {{Value(0), N, N}}});
  jobs->gfUpdateAdressen();
  ExpectGoldenStream("adressen", server.statements);
}

TEST_F(SqlServerStream, UpdateAbteilungen) {
  Count(2);
  server.Answer("ORDER BY ABTEILUNGEN.ADR_INR",
                RowSet{{"ID", "ADR_INR", "NR_ABTEILUNG", "ZAHL_ADINR", "abtBeitrag"},
                       {{Value(1), Value(1), Value(3), Value(1), Value(0.0)},
                        {Value(2), Value(2), Value(5), Value(2), N}}});
  server.Answer("BEITRAGSSCHLUESSEL.ADR_INR = 1 ",
                FeeKeys({Key(12, "Grund", Value(1), N, N, N, Value(1234.5)),
                         Key(13, "Stunden", Value(2), Value(3.0), N, N, Value(10.0)),
                         Key(14, "Zähler", Value(3), Value(2.0), Value(5.0), N, Value(0.5)),
                         Key(15, "Familie", Value(4), N, N, N, Value(50.0)),
                         Key(16, "Einmalig", Value(1), N, N, Value(5), Value(20.0)),
                         Key(17, "Künftig", Value(1), N, N, N, Value(99.0), D(2027, 1, 1))}));
  server.Answer("FAM_NR from", RowSet{{"FAM_NR"}, {{Value(9)}}});
  Count(2);  // household size
  jobs->gfUpdateAbteilungen();
  ExpectGoldenStream("abteilungen", server.statements);
}

TEST_F(SqlServerStream, UpdateAbteilungenAnzahl) {
  Count(2);
  server.Answer("ORDER BY NR", RowSet{{"ID", "NR", "NAME", "st1AnzahlMitglieder"},
                                      {{Value(1), Value(0), "Hauptverein", Value(0)},
                                       {Value(2), Value(3), "Turnen", N}}});
  Count(7);
  Count(0);
  jobs->gfUpdateAbteilungenAnzahl();
  ExpectGoldenStream("abteilungen_anzahl", server.statements);
}

TEST_F(SqlServerStream, UpdateSpendenliste) {
  Count(3);
  server.Answer("SPENDENNUMMER FROM",
                RowSet{{"ID", "ART", "BS_NR", "SPENDENDRUCK", "SPENDENNUMMER"},
                       {{Value(1), "2", "3", D(2026, 1, 5), "0"},
                        {Value(2), "4", "12", N, N},
                        {Value(3), "2", "9", N, "17"}}});
  server.Answer("SELECT NAME FROM STAMM1", RowSet{{"NAME"}, {{"Jugend's Förderung"}}});
  jobs->gfUpdateSpendenliste();
  ExpectGoldenStream("spendenliste", server.statements);
}

TEST_F(SqlServerStream, RefreshAbteilungsuebersicht) {
  Count(2);
  server.Answer("SELECT ADR_INR FROM", RowSet{{"ADR_INR"}, {{Value(1)}, {Value(2)}}});
  server.Answer(
      "ABTEILUNGEN.ADR_INR = 1 ",
      RowSet{{"AbtNummer", "AbtEintritt", "AbtAustritt", "AbtAktiv", "Arbeitsdienst", "AbtName"},
             {{Value(0), D(2004, 3, 15), N, "A", Value(2.0), "Hauptverein"},
              {Value(5), D(2010, 6, 1), D(2020, 12, 31), "P", N, "Schwimmen"}}});
  server.Answer("NR_ABTEILUNG = 0 ", FeeKeys({Key(12, "Grund", Value(1), N, N, N, Value(1234.5)),
                                              Key(15, "Familie", Value(4), N, N, N, Value(50.0),
                                                  D(2026, 1, 1), D(2026, 12, 31))}));
  server.Answer("FAM_NR from", RowSet{{"FAM_NR"}, {{Value(9)}}});
  Count(3);  // household size
  jobs->gfRefreshAbteilungsuebersicht();
  ExpectGoldenStream("abteilungsuebersicht", server.statements);
}

TEST_F(SqlServerStream, UpdateAdressenKomplett) {
  Count(3);
  server.Answer("VORNAME FROM ADRESSEN WHERE KZEHEMALIG",
                RowSet{{"ADR_INR", "GEBTAG", "adrNachnameVon", "NAME1", "VORNAME"},
                       {{Value(1), D(1980, 3, 15), "von", "Berg", "Anna"},
                        {Value(2), N, N, "O'Neil", "Sean"},
                        {Value(3), "kein Datum", "zu", N, N}}});
  server.Answer("KOMMUNIKATION WHERE ADR_INR = 1", RowSet{{"NR", "KOMTEXT"},
                                                          {{Value(1), "0621 12345"},
                                                           {Value(8), "https://example.org/?a='b'"},
                                                           {Value(11), "ignored"}}});
  server.Answer("SUM(abtBeitrag)", RowSet{{"Jahresbeitrag"}, {{Value(75.5)}}});
  const std::vector<std::string> payer = {"ZAHL_ADINR", "FULLNAME", "MITGL_NR"};
  server.Answer("AS FULLNAME", RowSet{payer, {{Value(2), "O'Neil, Sean", Value(4711)}}}, 2);
  server.Answer("AS FULLNAME", RowSet{payer, {{Value(4), "Zahler, Zoe", N}}}, 1);
  server.Answer("SUM(SOLL)", RowSet{{"SumSoll", "SumHaben"}, {{Value(40.0), Value(15.5)}}}, 1);
  server.Answer("SUM(SOLL)", RowSet{{"SumSoll", "SumHaben"}, {}});
  jobs->gfUpdateAdressenKomplett();
  ExpectGoldenStream("adressen_komplett", server.statements);
}

TEST_F(SqlServerStream, UpdateFeldAnzahlAdressen) {
  Count(1);
  server.Answer("SELECT ADR_INR FROM", RowSet{{"ADR_INR"}, {{Value(1)}}});
  Count(2);
  Count(0);
  Count(1);
  jobs->gfUpdateFeldAnzahlAdressen();
  ExpectGoldenStream("feld_anzahl_adressen", server.statements);
}

TEST_F(SqlServerStream, RefreshAnzahlAbteilungen) {
  Count(1);
  server.Answer("SELECT ADR_INR FROM", RowSet{{"ADR_INR"}, {{Value(1)}}});
  Count(2);
  Count(3);
  jobs->gfRefreshAnzahlAbteilungen();
  ExpectGoldenStream("anzahl_abteilungen", server.statements);
}

// Rewrites beyond what the streams above contain.
TEST(SqlServerRewrite, StatementRewrite) {
  const std::pair<const char*, const char*> cases[] = {
      // Single table: one blank before and after the set part (lower case too).
      {"update adressen set x = 1", "update adressen  set x = 1 "},
      {"UPDATE ADRESSEN SET ABW_ZAHLER = TRUE, X = FALSE WHERE KZEHEMALIG=FALSE",
       "UPDATE ADRESSEN  SET ABW_ZAHLER = 1, X = 0  WHERE KZEHEMALIG=0"},
      // "False" stays in a statement (only capitals are replaced).
      {"DELETE FROM T WHERE A=False", "DELETE FROM T WHERE A=False"},
      {"UPDATE A SET N = (X & ' ' & MID(Y,1,2)) WHERE Z = 'a & b'",
       "UPDATE A  SET N = (X + ' ' + SUBSTRING(Y,1,2))  WHERE Z = 'a & b'"},
      // Joined tables: the first table, the set part, FROM with the whole list.
      {"UPDATE A, B SET A.x = B.y WHERE A.id = B.id",
       "UPDATE A  SET A.x = B.y  FROM  A, B WHERE A.id = B.id"},
      {"UPDATE A INNER JOIN B ON A.id=B.id SET A.x = 1",
       "UPDATE A   SET A.x = 1 FROM  A INNER JOIN B ON A.id=B.id "},
      {"UPDATE A LEFT OUTER JOIN B ON A.i=B.i SET A.x = 1",
       "UPDATE A LEFT OUTER JOIN B ON A.i=B.i SET A.x = 1"},
      // Mended: quoted data and longer names are left alone.
      {"UPDATE T SET N = 'TRUE.FALSE, Mid(O''Connor & Söhne' WHERE K=1",
       "UPDATE T  SET N = 'TRUE.FALSE, Mid(O''Connor & Söhne'  WHERE K=1"},
      {"UPDATE T SET ISTRUE = \"x TRUE WHERE y\" WHERE K=TRUE",
       "UPDATE T  SET ISTRUE = \"x TRUE WHERE y\"  WHERE K=1"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(RewriteStatementForSqlServer(in), out) << in;
  // WHERE before SET is a failure.
  EXPECT_THROW(RewriteStatementForSqlServer("UPDATE T WHERE X=1 SET Y=2"), RuntimeError);
}

TEST(SqlServerRewrite, QueryRewrite) {
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT X FROM A WHERE B=False OR C=true", "SELECT X FROM A WHERE B=0 OR C=1"},
      {"SELECT X FROM A WHERE B=fAlSe", "SELECT X FROM A WHERE B=fAlSe"},
      {"SELECT X FROM A WHERE N=\"Berg\"", "SELECT X FROM A WHERE N='Berg'"},
      {"SELECT INSTR(NAME1, 'a') FROM A", "SELECT  CHARINDEX(, 'a', NAME1) FROM A"},
      // Mended: quoted texts keep their words and double quotes; only the
      // first INSTR is rewritten, and a searched ', ' stays whole.
      {"SELECT FALSEHOOD FROM A WHERE E='TRUE \"x\"'",
       "SELECT FALSEHOOD FROM A WHERE E='TRUE \"x\"'"},
      {"SELECT \"O'Neil\"'b' FROM T", "SELECT 'O''Neil' 'b' FROM T"},
      {"SELECT INSTR(1, A", "SELECT INSTR(1, A"},
      {"SELECT INSTR(1, NAME1, ', ') AS P, INSTR(1,B,'y') FROM T",
       "SELECT  CHARINDEX(', ', NAME1, 1) AS P, INSTR(1,B,'y') FROM T"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ConvertQueryForSQLServer(in), out) << in;
}

TEST(SqlServerRewrite, GetToken) {
  std::string text = "  a, b ,c \t\t";
  EXPECT_EQ(GetToken(2, text, ","), " b ");
  EXPECT_EQ(text, "a, b ,c");  // trimmed in place
  EXPECT_EQ(GetToken(4, text, ","), "");
}

}  // namespace
}  // namespace kb6::test
