// The seven-day and fourteen-day jobs on a real club file.
#include "job_test_support.h"

namespace kb6::test {
namespace {

class Overview : public JobTest {
 protected:
  void SetUp() override {
    JobTest::SetUp();
    raw->Exec(
        "INSERT INTO STAMM1 (ART, NR, NAME) VALUES ('A', 0, 'Hauptverein'), ('A', 3, 'Turnen'),"
        " ('A', 5, 'Schwimmen'), ('A', 12, 'Wandern')");
    raw->Exec(
        "INSERT INTO STAMM1 (ART, NR, NAME, BERECH_ART, JB, JB2, JB3, ANZ_PERS1, ANZ_PERS2, "
        "ANZ_PERS3) VALUES ('B', 12, 'Grund', 1, 1234.5, NULL, NULL, NULL, NULL, NULL),"
        " ('B', 13, 'Zähler', 3, 0.5, NULL, NULL, NULL, NULL, NULL),"
        " ('B', 14, 'Familie', 4, 50, 80, 100, 1, 2, 3)");
  }
  std::vector<std::string> Rows(int adr) {
    return raw->Rows(
        "SELECT uebID, ueb_abtNR, uebAbteilungsnummer, uebAbteilungsname, uebAbteilungEintritt, "
        "uebAbteilungAktiv, uebBeitragsschluesselnummer, uebBeitragsschluesselname, "
        "uebBeitragsschluesselBetrag, uebAbteilungArbeitsdienst FROM tblMVAbteilungsuebersicht "
        "WHERE uebInterneNummer = " +
        std::to_string(adr) + " ORDER BY uebID");
  }
};

TEST_F(Overview, RowsPerMembershipAndFeeKey) {
  const std::string entry = Dt(Day(2004, 3, 15));
  raw->Exec(
      "INSERT INTO ADRESSEN (ADR_INR, ID, FAM_NR, adrAlleAbteilungen, adrEintrittHV) VALUES "
      "(1, 1, 9, NULL, NULL), (2, 2, 9, NULL, NULL), (3, 3, 9, NULL, NULL), (4, 4, NULL, 'alt', "
      "7)");
  raw->Exec(
      "INSERT INTO ABTEILUNGEN (ADR_INR, NR_ABTEILUNG, EINTRITT, AKTIV, ARBD_SOLL) VALUES "
      "(1, 5, " +
      entry + ", 'A', 2), (1, 0, " + entry +
      ", 'a', 0), (1, 12, NULL, NULL, 'viel'),"
      " (1, 12, NULL, 'A', NULL), (1, 3, 0, 'A', NULL)");
  raw->Exec(
      "INSERT INTO BEITRAGSSCHLUESSEL (ADR_INR, NR_ABTEILUNG, NR_BS, ZAHL2, ZAHL3) VALUES "
      "(1, 5, 14, NULL, NULL), (1, 5, 12, NULL, NULL), (1, 5, 13, 100, 150), (1, 0, 13, 150, 100)");
  raw->Exec(
      "INSERT INTO tblMVAbteilungsuebersicht (uebID, uebInterneNummer) VALUES (500, 1), (501, 4)");
  EXPECT_TRUE(jobs->gfRefreshAbteilungsuebersicht());
  const std::string e = std::to_string(static_cast<int>(Day(2004, 3, 15)));
  EXPECT_EQ(Rows(1),
            (std::vector<std::string>{
                "502|0|000|Hauptverein|" + e + "|0|013|Zähler|0,00|Nein",
                "503|3|003|Turnen|-|1|-|-|-|Nein",
                "504|5|005|Schwimmen|" + e + "|1|012|Grund|1.234,50|Ja",
                "505|5|-|-|-|1|013|Zähler|25,00|Ja", "506|5|-|-|-|1|014|Familie|100,00|Ja",
                "507|12|012|Wandern|-|0|-|-|-|Nein", "508|12|012|Wandern|-|1|-|-|-|Nein"}));
  EXPECT_EQ(raw->Row("SELECT adrAlleAbteilungen, adrEintrittHV, adrEintritt_MM FROM ADRESSEN "
                     "WHERE ADR_INR = 1"),
            "0,3,5,12|" + e + "|3");
  // uebIDs continue from the highest key in the table (501).
  // Without departments: old rows go, list and entry date stay.
  EXPECT_TRUE(Rows(4).empty());
  EXPECT_EQ(raw->Row("SELECT adrAlleAbteilungen, adrEintrittHV FROM ADRESSEN WHERE ADR_INR = 4"),
            "alt|7");
  EXPECT_EQ(Entries().back(), "Es wurde(n) bei 4 Adresse(n) die Übersicht aktualisiert.");
}

// The host reads the result as the job's success.
TEST_F(Overview, NullDepartmentNameEndsTheRunWithFalse) {
  raw->Exec(
      "INSERT INTO STAMM1 (ART, NR, NAME) VALUES ('A', 8, NULL);"
      "INSERT INTO ADRESSEN (ADR_INR) VALUES (1);"
      "INSERT INTO ABTEILUNGEN (ADR_INR, NR_ABTEILUNG) VALUES (1, 8)");
  EXPECT_FALSE(jobs->gfRefreshAbteilungsuebersicht());
  EXPECT_EQ(Entries(), std::vector<std::string>{"Ungültige Verwendung von Null"});
}

using CompleteRun = JobTest;

TEST_F(CompleteRun, DerivedAddressColumns) {
  raw->Exec(
      "INSERT INTO ADRESSEN (ADR_INR, GEBTAG, adrJahrgang, NAME1, VORNAME, adrNachnameVon, "
      "ZAHL_ADINR, MITGL_NR, adrHomepagePrivat, EMAIL, ANREDE, PLZ, ORT) VALUES "
      "(1, " +
      Dt(Day(1961, 5, 3)) +
      ", NULL, 'Berg', 'Anna', 'von', 77, 11, 'alt', 'x', 'Frau', '80331', 'München'),"
      " (3, NULL, NULL, 'Kurz', NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL),"
      " (77, NULL, NULL, 'Berg', 'Anna', NULL, 77, 4711, NULL, NULL, NULL, NULL, NULL)");
  raw->Exec("UPDATE ADRESSEN SET ABW_ZAHLER = -1, NAME_ABW_ZAHLER = 'vorher' WHERE ADR_INR = 3");
  raw->Exec(
      "INSERT INTO KOMMUNIKATION (ADR_INR, NR, KOMTEXT) VALUES (1, 1, '089 1'), (1, 5, 'a@x.de'),"
      " (1, 5, 'b@x.de'), (1, 8, 'https://berg.example'), (1, 0, 'null'), (1, 11, 'elf')");
  raw->Exec("INSERT INTO ABTEILUNGEN (ADR_INR, abtBeitrag) VALUES (1, 120), (1, 30.5)");
  raw->Exec(
      "INSERT INTO BJOURNAL (ADR_INR, ART, SOLL, HABEN, bjoKZVerarbeitet) VALUES "
      "(77, '1', 100, 0, 0), (77, '3', 0, 60, 0), (77, '2', 500, 0, 0), (77, '4', 9, 0, -1)");
  jobs->gfUpdateAdressenKomplett();
  EXPECT_EQ(raw->Row("SELECT adrJahrgang, TELEFON_PRIVAT, EMAIL, INTERNET, adrHomepagePrivat, "
                     "HANDY, adrJahresbeitrag, ABW_ZAHLER, NAME_ABW_ZAHLER, MITGL_NR_ABW_ZAHLER, "
                     "OFFEN_ZAHLER, NACH_VORNAME, VOR_NACHNAME, ANSCHRIFT, L_PLZ_ORT FROM "
                     "ADRESSEN WHERE ADR_INR = 1"),
            "1961|089 1|b@x.de|https://berg.example|https://berg.example|-|150.5|-1|Berg, Anna|"
            "4711|40.0|Berg, Anna von|Anna von Berg|Frau  Anna Berg  ,   80331 München| 80331 "
            "München");
  EXPECT_EQ(raw->Row("SELECT NACH_VORNAME, VOR_NACHNAME, adrJahresbeitrag, ABW_ZAHLER, "
                     "NAME_ABW_ZAHLER FROM ADRESSEN WHERE ADR_INR = 3"),
            "Kurz|Kurz|0.0|-1|vorher");
  EXPECT_EQ(Entries().back(), "Es wurden 3 Adresse(n) im Komplettlauf aktualisiert.");
}

using Counts = JobTest;

TEST_F(Counts, FunctionsAttributesAndDepartments) {
  raw->Exec(
      "INSERT INTO ADRESSEN (ADR_INR, KZEHEMALIG, adrAnzFunktionen, adrAnzahlAbteilungen) VALUES "
      "(1, 0, NULL, NULL), (2, 0, 5, 5), (3, -1, 9, 9)");
  raw->Exec("INSERT INTO FUNKTIONEN (ADR_INR) VALUES (1), (1), (1), (3)");
  raw->Exec("INSERT INTO MERKMALE (ADR_INR) VALUES (1)");
  raw->Exec(
      "INSERT INTO ABTEILUNGEN (ADR_INR, AUSTRITT) VALUES (1, NULL), (1, 0), (1, 46000), (3, "
      "NULL)");
  jobs->gfUpdateFeldAnzahlAdressen();
  jobs->gfRefreshAnzahlAbteilungen();
  EXPECT_EQ(
      raw->Rows("SELECT adrAnzFunktionen, adrAnzEhrungen, adrAnzMerkmale, adrAnzahlAbteilungen, "
                "adrAnzahlAbteilungenMitAustritte FROM ADRESSEN ORDER BY ADR_INR"),
      (std::vector<std::string>{"3|0|1|2|3", "0|0|0|0|0", "9|-|-|9|-"}));
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{
                "Es wurden 2 Adresse(n) wegen der Anzahl Funktionen / Ehrungen / Merkmale "
                "aktualisiert.",
                "Es wurden 2 Adresse(n) wegen der Anzahl Abteilungen aktualisiert."}));
  // An address whose count fails keeps its stored count.
  raw->Exec("UPDATE ADRESSEN SET adrAnzahlAbteilungen = 7 WHERE ADR_INR = 1");
  raw->Exec("ALTER TABLE ABTEILUNGEN RENAME COLUMN AUSTRITT TO AUSTRITT_ALT");
  jobs->gfRefreshAnzahlAbteilungen();
  EXPECT_EQ(raw->One("SELECT adrAnzahlAbteilungen FROM ADRESSEN WHERE ADR_INR = 1"), "7");
}

}  // namespace
}  // namespace kb6::test
