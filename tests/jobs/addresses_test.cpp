// The address update, the donation types and the date clean-up on a real club file.
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

}  // namespace
}  // namespace kb6::test
