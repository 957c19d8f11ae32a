// The daily jobs on a real club file.
#include "job_test_support.h"

namespace kb6::test {
namespace {

using Addresses = JobTest;

TEST_F(Addresses, BirthdayColumnsAndAge) {
  clock.Set(Day(2010, 4, 18, 9));
  const std::string b75 = Dt(Day(1975, 12, 24));
  raw->Exec("INSERT INTO ADRESSEN (ADR_INR, GEBTAG, adrAlter, BR_ANREDE) VALUES (1, " + b75 +
            ", NULL, 'x'), (2, " + Dt(Day(1980, 2, 29)) + ", NULL, 'x'), (3, " + b75 +
            ", 34, 'x'), (4, " + Dt(Day(2010, 1, 1)) + ", NULL, 'x'), (5, NULL, 12, 'x'), (6, " +
            Dt(Day(1990, 5, 3)) + ", 18, 'x')");
  jobs->gfUpdateAdressen();
  auto in2000 = [](int m, int d) { return std::to_string(static_cast<int>(Day(2000, m, d))); };
  EXPECT_EQ(raw->Rows("SELECT ADR_INR, adrGeburtstagTTMM, GEBURTSTAG_TTMM, GEBURTSTAG_MM, "
                      "adrAlter FROM ADRESSEN ORDER BY ADR_INR"),
            (std::vector<std::string>{"1|" + in2000(12, 24) + "|24.12|12|34",
                                      "2|" + in2000(2, 29) + "|29.02|2|30",
                                      "3|-|-|-|34",  // stored age equals the computed one
                                      "4|-|-|-|-",   // age 0 against a Null stored age
                                      "5|-|-|-|12",  // no date of birth
                                      "6|" + in2000(5, 3) + "|03.05|5|19"}));
  clock.Set(Day(2010, 12, 24, 9));
  jobs->gfUpdateAdressen();
  EXPECT_EQ(raw->One("SELECT adrAlter FROM ADRESSEN WHERE ADR_INR=1"), "35");
}

TEST_F(Addresses, Salutations) {
  // ANREDE, TITEL, adrNachnameVon and NAME1 as SQL values, and the salutation.
  const std::pair<const char*, const char*> cases[] = {
      {"'frau', 'Dr.', 'von', 'Berg'", "Sehr geehrte Frau Dr. von Berg,"},
      {"'HERR', '', '', 'Maier'", "Sehr geehrter Herr Maier,"},
      {"'Familie', NULL, NULL, 'Jäger'", "Sehr geehrte Familie Jäger,"},
      {"NULL, NULL, NULL, 'X'", "Sehr geehrte Damen und Herren,"},
      {"'Frau', NULL, NULL, NULL", "Sehr geehrte Frau ,"},
      // A crafted name changes only its own row, not those before it or the fixed one.
      {"'Frau', NULL, NULL, 'x'' WHERE 1=1 --'", "Sehr geehrte Frau x' WHERE 1=1 --,"},
  };
  std::vector<std::string> want;
  for (const auto& [values, salutation] : cases) {
    raw->Exec("INSERT INTO ADRESSEN (ADR_INR, ANREDE, TITEL, adrNachnameVon, NAME1) VALUES (" +
              std::to_string(want.size() + 1) + ", " + values + ")");
    want.push_back(salutation);
  }
  raw->Exec(
      "INSERT INTO ADRESSEN (ADR_INR, ANREDE, NAME1, BR_ANREDE) VALUES (99, 'Frau', 'Z', 'Liebe "
      "Z,')");
  want.push_back("Liebe Z,");
  jobs->gfUpdateAdressen();
  EXPECT_EQ(raw->Column("SELECT BR_ANREDE FROM ADRESSEN ORDER BY ADR_INR"), want);
}

TEST_F(Addresses, AValueThatCannotBeConvertedCostsItsRowOnly) {
  raw->Exec(
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < 8) "
      "INSERT INTO ADRESSEN (ADR_INR, ANREDE, NAME1) SELECT i, 'Herr', 'N' || i FROM n");
  // A text in the stored balance of row 5 that cannot be converted to a number.
  raw->Exec("UPDATE ADRESSEN SET OFFEN = 'kaputt' WHERE ADR_INR = 5");
  jobs->gfUpdateAdressen();
  EXPECT_EQ(raw->One("SELECT Count(*) FROM ADRESSEN WHERE BR_ANREDE IS NOT NULL"), "8");
  EXPECT_EQ(Entries(), (std::vector<std::string>{
                           "Es wurden 8 Adresse(n) aktualisiert.",
                           "Es wurden 1 Änderung(en) nicht geschrieben. Erste Ursache: Typen "
                           "unverträglich"}));
  jobs->gfRefreshAnzahlAbteilungen();
  EXPECT_EQ(Entries().back(), "Es wurden 8 Adresse(n) wegen der Anzahl Abteilungen aktualisiert.");
}

using Donations = JobTest;

TEST_F(Donations, TypesAndReceiptClearing) {
  raw->Exec("INSERT INTO STAMM1 (ART, NR, NAME) VALUES ('B', 7, 'Förder''verein'), ('B', 8, '')");
  raw->Exec(
      "INSERT INTO BJOURNAL (ID, ART, BS_NR, SPENDENNUMMER, SPENDENDRUCK, bjoSpendenartErstellt) "
      "VALUES "
      "(1, '2', '3', 15, 1, NULL), (2, '2', '6', NULL, 1, 0), (3, '2', '0', 0, 1, NULL),"
      " (4, '2', '7', NULL, NULL, NULL), (5, '2', NULL, NULL, NULL, NULL),"
      " (6, '4', '007', 0, 1, NULL), (7, '4', '8', NULL, NULL, NULL),"
      " (8, '2', '1', NULL, NULL, -1), (9, '1', '1', NULL, NULL, NULL)");
  jobs->gfUpdateSpendenliste();
  EXPECT_EQ(
      raw->Rows("SELECT ID, bjoSpendenartText, bjoSpendenartErstellt, SPENDENNUMMER, SPENDENDRUCK "
                "FROM BJOURNAL ORDER BY ID"),
      (std::vector<std::string>{"1|Sachspende|-1|15|1", "2|Sachspende (politisch)|-1|-|1",
                                "3|unbekannt|-1|-|-", "4|unbekannt|-1|-|-", "5|unbekannt|-1|-|-",
                                "6|Förder'verein|-1|-|-", "7|-|-|-|-", "8|-|-1|-|-", "9|-|-|-|-"}));
  EXPECT_EQ(Entries().back(), "Es wurden bei 7 Spende(n) der Spendeart-Text aktualisiert.");
}

TEST_F(Donations, MissingMasterRowEndsTheJob) {
  raw->Exec(
      "INSERT INTO BJOURNAL (ID, ART, BS_NR) VALUES (1, '2', '1'), (2, '4', '99'), (3, '2', '2')");
  jobs->gfUpdateSpendenliste();
  EXPECT_EQ(raw->Column("SELECT ifnull(bjoSpendenartText,'-') FROM BJOURNAL ORDER BY ID"),
            (std::vector<std::string>{"Geldspende", "-", "-"}));
  ASSERT_EQ(Entries().size(), 1u);
  EXPECT_NE(Entries()[0].find("BOF oder EOF"), std::string::npos);
}

TEST_F(Donations, PlaceholderDatesAreCleared) {
  raw->Exec(
      "INSERT INTO ABTEILUNGEN (ID, ADR_INR, EINTRITT, AUSTRITT, DATUM1) VALUES "
      "(1, 1, 0, 2, 1), (2, 1, " +
      Dt(Day(1899, 12, 30, 8)) + ", 3, NULL)");
  raw->Exec("INSERT INTO BJOURNAL (ID, SPENDENDRUCK) VALUES (1, 2), (2, 46000)");
  jobs->gfUpdateDatumsfelder();
  EXPECT_EQ(raw->Rows("SELECT EINTRITT, AUSTRITT, DATUM1 FROM ABTEILUNGEN ORDER BY ID"),
            (std::vector<std::string>{"-|-|1", Dt(Day(1899, 12, 30, 8)).substr(0, 8) + "|3|-"}));
  EXPECT_EQ(raw->Rows("SELECT SPENDENDRUCK FROM BJOURNAL ORDER BY ID"),
            (std::vector<std::string>{"-", "46000"}));
  EXPECT_TRUE(Entries().empty());
}

class Fees : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    // Household 7: addresses 1, 2, 3 active, 4 former. Address 5 has no household.
    raw->Exec(
        "INSERT INTO ADRESSEN (ADR_INR, ID, KZEHEMALIG, FAM_NR) VALUES "
        "(1, 1, 0, 7), (2, 2, 0, 7), (3, 3, 0, 7), (4, 4, -1, 7), (5, 5, 0, NULL)");
  }
  // One master row NR 1 and one membership of address `adr` with one key of it.
  double FeeOf(const std::string& master_cols, const std::string& master_vals,
               const std::string& key_cols = "", const std::string& key_vals = "", int adr = 1) {
    raw->Exec("DELETE FROM STAMM1; DELETE FROM ABTEILUNGEN; DELETE FROM BEITRAGSSCHLUESSEL");
    raw->Exec("INSERT INTO STAMM1 (ART, NR" + master_cols + ") VALUES ('B', 1" + master_vals + ")");
    raw->Exec("INSERT INTO ABTEILUNGEN (ID, ADR_INR, NR_ABTEILUNG, abtBeitrag) VALUES (1, " +
              std::to_string(adr) + ", 3, 999)");
    raw->Exec("INSERT INTO BEITRAGSSCHLUESSEL (ADR_INR, NR_ABTEILUNG, NR_BS" + key_cols +
              ") VALUES (" + std::to_string(adr) + ", 3, 1" + key_vals + ")");
    jobs->gfUpdateAbteilungen();
    return std::stod(raw->One("SELECT abtBeitrag FROM ABTEILUNGEN WHERE ID = 1"));
  }
};

TEST_F(Fees, FeeKeyRules) {
  const std::string today = Dt(Day(2026, 12, 6)), tomorrow = Dt(Day(2026, 12, 7)),
                    last_year = Dt(Day(2025, 3, 1)), this_year = Dt(Day(2026, 3, 1));
  const std::string ladder = ", JB2, JB3, ANZ_PERS1, ANZ_PERS2, ANZ_PERS3", bj = ", BERECH_ART, JB";
  const std::string bzj = ", BERECH_ART, ZW, JB";
  struct Case {
    const char* what;
    std::string mcols, mvals, kcols, kvals;
    int adr;
    double fee;
  } cases[] = {
      {"kind 2", bj, ", 2, 12.5", ", ZAHL2", ", 3", 1, 37.5},
      {"kind 2 without quantity", bj, ", 2, 12.5", "", "", 1, 0},
      {"kind 3", bj, ", 3, 0.5", ", ZAHL2, ZAHL3", ", 100, 130", 1, 15},
      {"kind 4 household of three", bj + ladder, ", 4, 50, 80, 100, 1, 2, 3", "", "", 1, 100},
      {"kind 4 no matching size", ", BERECH_ART, JB, JB2, ANZ_PERS1, ANZ_PERS2",
       ", 4, 50, 80, 1, 2", "", "", 1, 50},
      {"kind 4 without household", bj + ladder, ", 4, 50, 80, 100, 1, 2, 3", "", "", 5, 0},
      {"kind 1.5", bj, ", 1.5, 60", "", "", 1, 0},
      {"ends today", bj, ", 1, 60", ", DATUM2", ", " + today, 1, 0},
      {"ends tomorrow", bj, ", 1, 60", ", DATUM2", ", " + tomorrow, 1, 60},
      {"starts tomorrow", bj, ", 1, 60", ", DATUM1", ", " + tomorrow, 1, 0},
      {"starts today", bj, ", 1, 60", ", DATUM1", ", " + today, 1, 60},
      {"date value 0 sets no bound", bj, ", 1, 60", ", DATUM1, DATUM2", ", 0, 0", 1, 60},
      {"mode 5 last year", bzj, ", 2, 5, 30", ", DATUM3", ", " + last_year, 1, 0},
      {"mode 5 this year", bzj, ", 2, 5, 30", ", DATUM3", ", " + this_year, 1, 30},
      {"mode 5 no debit date", ", ZW, JB", ", 5, 30", "", "", 1, 30},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(FeeOf(c.mcols, c.mvals, c.kcols, c.kvals, c.adr), c.fee) << c.what;
}

TEST_F(Fees, NullRateEndsTheJobThroughItsTrap) {
  raw->Exec(
      "INSERT INTO STAMM1 (ART, NR, BERECH_ART, JB) VALUES ('B', 1, 1, 60), ('B', 2, 1, NULL)");
  raw->Exec("INSERT INTO ABTEILUNGEN (ID, ADR_INR, NR_ABTEILUNG) VALUES (1, 1, 3), (2, 2, 3)");
  raw->Exec(
      "INSERT INTO BEITRAGSSCHLUESSEL (ADR_INR, NR_ABTEILUNG, NR_BS) VALUES (1, 3, 1), (2, 3, 2)");
  jobs->gfUpdateAbteilungen();
  EXPECT_EQ(raw->Column("SELECT ifnull(abtBeitrag, 'NULL') FROM ABTEILUNGEN ORDER BY ID"),
            (std::vector<std::string>{"60.0", "NULL"}));
  EXPECT_EQ(Entries(), std::vector<std::string>{"Ungültige Verwendung von Null"});
}

TEST_F(Fees, MembersPerDepartment) {
  const std::string today = Dt(Day(2026, 12, 6)), tomorrow = Dt(Day(2026, 12, 7));
  raw->Exec(
      "INSERT INTO STAMM1 (ID, ART, NR, NAME, st1AnzahlMitglieder) VALUES "
      "(10, 'A', 3, 'Turnen', 99), (11, 'A', 5, 'Leer', 99), (12, 'B', 3, 'kein Zweig', 99),"
      " (13, 'A', NULL, 'ohne Nummer', 99)");
  raw->Exec(
      "INSERT INTO ABTEILUNGEN (ADR_INR, NR_ABTEILUNG, AUSTRITT) VALUES "
      "(1, 3, " +
      today + "), (1, 3, " + tomorrow +
      "), (2, 3, NULL), (3, 3, 0), (4, 3, NULL),"
      " (2, 3, NULL)");
  jobs->gfUpdateAbteilungenAnzahl();
  EXPECT_EQ(raw->Column("SELECT st1AnzahlMitglieder FROM STAMM1 ORDER BY ID"),
            (std::vector<std::string>{"4", "0", "99", "0"}));
  // The Null number sorts first; the departments after it are still counted.
  EXPECT_EQ(Entries(), std::vector<std::string>{
                           "Es wurden bei 3 Abteilung(en) die Anzahl Mitglieder aktualisiert."});
}

TEST_F(Fees, ADepartmentNumberThatIsNoNumberNamesOnlyItsOwnRow) {
  raw->Exec("INSERT INTO STAMM1 (ART, NR, BERECH_ART, JB) VALUES ('B', 1, 1, 10)");
  raw->Exec(
      "INSERT INTO ABTEILUNGEN (ID, ADR_INR, NR_ABTEILUNG, abtBeitrag) VALUES (1, 1, 3, 0), "
      "(2, 1, '4 OR 1=1', 0), (3, 4, 3, 55), (4, 1, 'x''y', 0), (5, 2, NULL, 42)");
  raw->Exec("INSERT INTO BEITRAGSSCHLUESSEL (ADR_INR, NR_ABTEILUNG, NR_BS) VALUES (1, 3, 1)");
  jobs->gfUpdateAbteilungen();
  // Row 3 is a former member's; the Null number keeps its fee.
  EXPECT_EQ(raw->Column("SELECT abtBeitrag FROM ABTEILUNGEN ORDER BY ID"),
            (std::vector<std::string>{"10.0", "0.0", "55.0", "0.0", "42.0"}));
  EXPECT_EQ(Entries(), (std::vector<std::string>{
                           "Es wurden 4 Abteilung(en) aktualisiert.",
                           "Es wurden 1 Änderung(en) nicht geschrieben. Erste Ursache: incomplete "
                           "input"}));
}

}  // namespace
}  // namespace kb6::test
