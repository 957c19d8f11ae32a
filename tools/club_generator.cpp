#include "club_generator.h"

#include <sqlite3.h>

#include <memory>
#include <random>
#include <stdexcept>
#include <variant>
#include <vector>

#include "common/dates.h"
#include "db/club_schema.h"
#include "db/sqlite_handles.h"

namespace kb6 {
namespace {

using Db = SqliteHandle;

struct Null {};
using Cell = std::variant<Null, int64_t, double, std::string>;

void Exec(sqlite3* db, const char* sql) {
  char* err = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
    std::string msg = err ? err : "sqlite error";
    sqlite3_free(err);
    throw std::runtime_error(msg);
  }
}

Db Create(const std::string& path) {
  sqlite3* raw = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &raw,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE, nullptr);
  Db db(raw);
  if (rc != SQLITE_OK)
    throw std::runtime_error("cannot create " + path + ": " + sqlite3_errstr(rc));
  // The recommended mode, set once here: the monitor keeps the journal mode
  // a file has and never switches it.
  Exec(db.get(), "PRAGMA journal_mode=WAL");
  Exec(db.get(), ClubSchemaSql());
  return db;
}

class Inserter {
 public:
  Inserter(sqlite3* db, const std::string& sql) : db_(db) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db));
    st_.reset(st);
  }
  void Row(const std::vector<Cell>& cells) {
    sqlite3_reset(st_.get());
    for (size_t i = 0; i < cells.size(); ++i) {
      const int k = static_cast<int>(i + 1);
      if (auto* n = std::get_if<int64_t>(&cells[i]))
        sqlite3_bind_int64(st_.get(), k, *n);
      else if (auto* d = std::get_if<double>(&cells[i]))
        sqlite3_bind_double(st_.get(), k, *d);
      else if (auto* s = std::get_if<std::string>(&cells[i]))
        sqlite3_bind_text(st_.get(), k, s->c_str(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
      else
        sqlite3_bind_null(st_.get(), k);
    }
    if (sqlite3_step(st_.get()) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
  }

 private:
  sqlite3* db_;
  SqliteStatement st_;
};

double Serial(int y, int m, int d) { return SerialFromCivil({y, m, d, 0, 0, 0}); }

const char* const kSurnames[] = {"Müller",   "Schmidt",    "Schneider", "Fischer", "Weber",
                                 "Meyer",    "Wagner",     "Becker",    "Schulz",  "Hoffmann",
                                 "O'Connor", "Größ",       "Berg",      "Krämer",  "D'Angelo",
                                 "Jäger",    "Zimmermann", "Köhler"};
const char* const kFirstFemale[] = {"Anna", "Maria", "Jürgen", "Sophie", "Lena", "Chloé", "Ursula"};
const char* const kFirstMale[] = {"Peter", "Jörg", "Hans", "Lukas", "Stefan", "Renée", "Klaus"};
const char* const kTowns[] = {"München", "Köln", "Düsseldorf", "Lübeck", "Fürth", "Essen"};

}  // namespace

void CreateEmptyClubDatabase(const std::string& path) { Create(path); }

void GenerateClubDatabase(const std::string& path, const ClubShape& shape) {
  Db db = Create(path);
  sqlite3* h = db.get();
  std::mt19937 rng(shape.seed);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
  auto chance = [&](int percent) { return pick(100) < percent; };
  Exec(h, "BEGIN");

  // Departments and fee-key masters: every calculation kind, payment mode 5,
  // a household ladder and one unrecognised kind.
  Inserter stamm(h,
                 "INSERT INTO STAMM1 (ART, NR, NAME, BERECH_ART, ME, ZW, JB, JB2, JB3, JB4, JB5, "
                 "ANZ_PERS1, ANZ_PERS2, ANZ_PERS3, ANZ_PERS4, ANZ_PERS5) VALUES "
                 "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  const std::vector<std::pair<int, std::string>> departments = {
      {0, "Hauptverein"}, {1, "Fußball"},     {3, "Turnen"},
      {5, "Schwimmen"},   {7, "Tischtennis"}, {12, "Wandern & Natur"}};
  for (const auto& [nr, name] : departments)
    stamm.Row({std::string("A"), int64_t{nr}, name, Null{}, Null{}, Null{}, Null{}, Null{}, Null{},
               Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}});
  struct Master {
    int nr;
    const char* name;
    double kind;
    int zw;
    double jb;
  };
  const Master masters[] = {{1, "Grundbeitrag", 1, 1, 60},        {2, "Jugend", 1, 1, 24.5},
                            {3, "Kursstunden", 2, 1, 12.5},       {4, "Zählerbeitrag", 3, 1, 0.5},
                            {5, "Familienbeitrag", 4, 1, 50},     {6, "Einmalig", 1, 5, 30},
                            {7, "Sonderumlage O'Neil", 1, 1, 15}, {8, "Altkennung", 9, 1, 99},
                            {12, "Förderbeitrag", 1, 1, 120}};
  for (const Master& m : masters) {
    if (m.kind == 4)
      stamm.Row({std::string("B"), int64_t{m.nr}, std::string(m.name), m.kind, std::string("EUR"),
                 int64_t{m.zw}, m.jb, 80.0, 100.0, 110.0, 120.0, int64_t{1}, int64_t{2}, int64_t{3},
                 int64_t{4}, int64_t{5}});
    else
      stamm.Row({std::string("B"), int64_t{m.nr}, std::string(m.name), m.kind, std::string("EUR"),
                 int64_t{m.zw}, m.jb, Null{}, Null{}, Null{}, Null{}, Null{}, Null{}, Null{},
                 Null{}, Null{}});
  }

  Inserter adr(h,
               "INSERT INTO ADRESSEN (ADR_INR, ID, KZEHEMALIG, FAM_NR, ZAHL_ADINR, MITGL_NR, "
               "ANREDE, TITEL, VORNAME, adrNachnameVon, NAME1, STRASSE, LAND, PLZ, ORT, GEBTAG, "
               "OFFEN, WOHNGEBIET, GESCHLECHT, adrHomepagePrivat) VALUES "
               "(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  Inserter abt(h,
               "INSERT INTO ABTEILUNGEN (ADR_INR, NR_ABTEILUNG, EINTRITT, AUSTRITT, AKTIV, "
               "ARBD_SOLL, DATUM1) VALUES (?,?,?,?,?,?,?)");
  Inserter bs(h,
              "INSERT INTO BEITRAGSSCHLUESSEL (ADR_INR, NR_ABTEILUNG, NR_BS, DATUM1, DATUM2, "
              "DATUM3, ZAHL2, ZAHL3) VALUES (?,?,?,?,?,?,?,?)");
  Inserter bj(h,
              "INSERT INTO BJOURNAL (ADR_INR, ART, SOLL, HABEN, bjoKZVerarbeitet, BS_NR, "
              "SPENDENNUMMER, SPENDENDRUCK) VALUES (?,?,?,?,?,?,?,?)");
  Inserter kom(h, "INSERT INTO KOMMUNIKATION (ADR_INR, NR, KOMTEXT) VALUES (?,?,?)");
  Inserter fun(h, "INSERT INTO FUNKTIONEN (ADR_INR) VALUES (?)");
  Inserter ehr(h, "INSERT INTO EHRUNGEN (ADR_INR) VALUES (?)");
  Inserter mer(h, "INSERT INTO MERKMALE (ADR_INR) VALUES (?)");
  Inserter his(h, "INSERT INTO HISTORY (ZEITSTEMPEL, TEXT) VALUES (?,?)");

  const int total = shape.active_addresses + shape.active_addresses / 10;
  int household_left = 0;
  int64_t household_head = 0, family = 0;
  const double today = Serial(2026, 12, 6);
  for (int i = 1; i <= total; ++i) {
    const int64_t key = i;
    const bool former = i % 11 == 0;
    if (household_left == 0) {
      household_left = 1 + pick(5);
      household_head = key;
      family = household_left > 1 ? key : 0;
    }
    --household_left;
    const bool female = chance(50);
    const int anrede_pick = pick(20);
    std::string anrede = female ? "Frau" : "Herr";
    if (anrede_pick == 0) anrede = "Familie";
    if (anrede_pick == 1) anrede = "Firma";
    if (anrede_pick == 2) anrede = female ? "frau" : "Herrn";
    const std::string first = female ? kFirstFemale[pick(7)] : kFirstMale[pick(7)];
    const std::string surname = kSurnames[pick(18)];
    const int year = 1940 + pick(80);
    const int month = 1 + pick(12);
    const int day = 1 + pick(28);
    Cell gebtag = i % 97 == 0 ? Serial(1980, 2, 29) : Serial(year, month, day);
    if (i % 37 == 0) gebtag = Null{};
    Cell payer = household_head;
    // A payer key that names nobody is kept off household heads: the complete
    // run ends on a payer row without one.
    if (i % 53 == 0 && key != household_head) payer = Null{};
    adr.Row({key,
             key,
             int64_t{former ? -1 : 0},
             family ? Cell{family} : Cell{Null{}},
             payer,
             int64_t{1000 + i},
             anrede,
             chance(10) ? Cell{std::string("Dr.")} : Cell{Null{}},
             chance(5) ? Cell{Null{}} : Cell{first},
             chance(8) ? Cell{std::string("von")} : Cell{Null{}},
             surname,
             std::string("Hauptstraße ") + std::to_string(1 + pick(200)),
             std::string("D"),
             std::to_string(10000 + pick(89999)),
             std::string(kTowns[pick(6)]),
             gebtag,
             chance(30) ? Cell{15.0} : Cell{Null{}},
             int64_t{pick(4)},
             chance(50) ? Cell{Null{}} : Cell{std::string("")},
             chance(20) ? Cell{std::string("https://alt.example.org/") + std::to_string(i)}
                        : Cell{Null{}}});

    // About two memberships, each with none to three fee keys.
    const int memberships = pick(5);
    for (int m = 0; m < memberships; ++m) {
      const int dep = departments[static_cast<size_t>(pick(6))].first;
      const double entry = Serial(1990 + pick(36), 1 + pick(12), 1 + pick(28));
      Cell exit = Null{};
      if (chance(15)) exit = today - pick(400) + 30;
      if (chance(5)) exit = 0.0;
      abt.Row({key, int64_t{dep}, chance(5) ? Cell{0.0} : Cell{entry}, exit,
               chance(80) ? Cell{std::string("A")} : Cell{std::string("a")},
               chance(30) ? Cell{double(pick(3))} : Cell{Null{}},
               chance(3) ? Cell{0.0} : Cell{Null{}}});
      const int keys = pick(4);
      for (int k = 0; k < keys; ++k) {
        const Master& ms = masters[static_cast<size_t>(pick(9))];
        Cell von = Null{}, bis = Null{};
        if (chance(10)) von = today + 10;
        if (chance(10)) bis = today - 10;
        bs.Row({key, int64_t{dep}, int64_t{ms.nr}, von, bis,
                chance(50) ? Cell{Serial(2025 + pick(2), 3, 1)} : Cell{Null{}},
                chance(80) ? Cell{double(100 + pick(3) * 10)} : Cell{Null{}},
                Cell{double(100 + pick(6) * 10)}});
      }
    }
    for (int b = 0; b < 5; ++b) {
      const int art = 1 + pick(4);
      const std::string bsnr = art == 2 ? std::to_string(pick(8))
                                        : std::to_string(masters[static_cast<size_t>(pick(9))].nr);
      bj.Row({key, std::to_string(art), double(pick(200)), double(pick(150)),
              int64_t{chance(30) ? -1 : 0}, bsnr,
              chance(20) ? Cell{int64_t{0}} : Cell{int64_t{pick(500)}},
              chance(20) ? Cell{today - pick(300)} : Cell{Null{}}});
    }
    for (int c = 0; c < 3; ++c) {
      const int nr = pick(12);
      kom.Row({key, int64_t{nr},
               nr == 5 || nr == 6 ? std::string("post") + std::to_string(i) + "@verein.example"
                                  : std::string("0") + std::to_string(100000 + pick(899999))});
    }
    for (int f = pick(5); f > 0; --f) fun.Row({key});
    for (int f = pick(5); f > 0; --f) ehr.Row({key});
    for (int f = pick(5); f > 0; --f) mer.Row({key});
  }
  for (int k = 0; k < 40; ++k)
    his.Row({today - 20 * k, std::string("Änderung ") + std::to_string(k)});
  Exec(h,
       "INSERT INTO tblFIBUAuswertungsgruppen (awtAnzKonten, awtAnzPlanbetraege) VALUES (NULL, 3)");
  Exec(h, "COMMIT");
}

}  // namespace kb6
