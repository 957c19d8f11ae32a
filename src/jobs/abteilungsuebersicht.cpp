// gfRefreshAbteilungsuebersicht: the overview rows of every active address in
// tblMVAbteilungsuebersicht, its department list and its entry date.
#include "common/dates.h"
#include "db/database.h"
#include "db/literals.h"
#include "jobs/aufgaben.h"
#include "jobs/fee_key_statement.h"
#include "jobs/household.h"

namespace kb6 {
namespace {

bool GreaterThanZero(const RegionalSettings& r, const Value& v) {
  if (v.IsNull() || v.IsEmpty()) return false;
  if (v.kind() == Value::Kind::kDate) return v.AsDateSerial() > 0;
  if (r.IsNumeric(v)) return r.ToDouble(v) > 0;
  if (r.IsDate(v)) return r.ToDate(v) > 0;
  return false;
}

std::string DepartmentsSql(const std::string& adr_inr) {
  return "SELECT ABTEILUNGEN.NR_ABTEILUNG as AbtNummer, ABTEILUNGEN.EINTRITT as AbtEintritt, "
         "ABTEILUNGEN.AUSTRITT as AbtAustritt, ABTEILUNGEN.AKTIV as AbtAktiv, "
         "ABTEILUNGEN.ARBD_SOLL as Arbeitsdienst, STAMM1.NAME as AbtName "
         "FROM ABTEILUNGEN, STAMM1 WHERE ABTEILUNGEN.NR_ABTEILUNG = STAMM1.NR AND "
         "STAMM1.ART = 'A' AND ABTEILUNGEN.ADR_INR = " +
         adr_inr + " ORDER BY ABTEILUNGEN.NR_ABTEILUNG ASC";
}

std::string FeeKeysSql(const std::string& department_key, const std::string& adr_inr) {
  return std::string(kFeeKeyColumns) +
         " FROM BEITRAGSSCHLUESSEL, STAMM1 WHERE BEITRAGSSCHLUESSEL.NR_ABTEILUNG = " +
         department_key + " " + " AND BEITRAGSSCHLUESSEL.ADR_INR = " + adr_inr +
         " AND STAMM1.ART = 'B'  AND BEITRAGSSCHLUESSEL.NR_BS = STAMM1.NR ORDER BY "
         "BEITRAGSSCHLUESSEL.NR_BS ASC";
}

// The yearly amount of the fee key in the current row of `keys`, by its
// calculation kind; 0 for an unknown kind or values that are not numbers.
double FeeKeyAmount(Database& db, const RegionalSettings& r, Recordset& lookups,
                    const Recordset& keys, const std::string& adr_inr) {
  const double kind = NumericValueOf(r, keys.Field("Berechnungsart"));
  const Value& jb = keys.Field("Jahresbeitrag");
  const Value& wert = keys.Field("BetragWert");
  const Value& zaehler = keys.Field("BetragZaehler");
  auto numeric = [&](const Value& v) { return r.IsNumeric(v) && !v.IsEmpty(); };
  if (kind == 1) return numeric(jb) ? r.ToDouble(jb) : 0;
  if (kind == 2) return numeric(wert) ? r.ToDouble(wert) * r.ToDouble(jb) : 0;
  if (kind == 3) {
    if (numeric(wert) && numeric(zaehler) && r.ToDouble(wert) < r.ToDouble(zaehler))
      return (r.ToDouble(zaehler) - r.ToDouble(wert)) * r.ToDouble(jb);
    return 0;
  }
  if (kind == 4)
    return HouseholdRate(db, r, lookups, keys, adr_inr,
                         "SELECT count(ID) as ANZAHL from ADRESSEN WHERE KZEHEMALIG "
                         "= FALSE AND FAM_NR = ");
  return 0;
}

// The overview rows of one address, written department by department.
class AddressOverview {
 public:
  AddressOverview(Database& db, const RegionalSettings& r, Recordset& keys, Recordset& lookups,
                  std::string adr_inr)
      : db_(db), r_(r), keys_(keys), lookups_(lookups), adr_inr_(std::move(adr_inr)) {}

  // The rows of the department in the current row of `d` (see DepartmentsSql):
  // one without fee columns when it has no fee key, else one per fee key.
  void WriteDepartment(const Recordset& d) {
    const std::string abt = r_.ToText(d.Field("AbtNummer"));
    const std::string department_key = SqlKeyLiteral(r_, d.Field("AbtNummer"));
    if (list_.find("|" + abt + "|") == std::string::npos) list_ += "|" + abt + "|,";
    if (!db_.TryOpenRecordset(FeeKeysSql(department_key, adr_inr_), keys_)) return;
    const Value& eintritt = d.Field("AbtEintritt");
    const bool department_zero = r_.ToDouble(d.Field("AbtNummer")) == 0;
    const std::string aktiv = r_.TextOrEmpty(d.Field("AbtAktiv")) == "A" ? "1" : "0";
    const Value& arbd = d.Field("Arbeitsdienst");
    const std::string dienst =
        r_.IsNumeric(arbd) && !arbd.IsEmpty() && r_.ToDouble(arbd) > 0 ? "Ja" : "Nein";

    if (keys_.EndOfData()) {
      std::string ins = StartRow(abt);
      AddDepartmentColumns(ins, d, /*update_entry_date=*/department_zero);
      Add(ins, aktiv, "uebAbteilungAktiv", "N");
      Add(ins, dienst, "uebAbteilungArbeitsdienst", "A");
      db_.ExecuteSQL(ins, true);
      return;
    }
    for (; !keys_.EndOfData(); keys_.MoveNext()) {
      const bool first = abt != previous_;
      if (first) previous_ = abt;
      if (department_zero && r_.IsDate(eintritt)) UpdateEntryDate(eintritt);
      std::string ins = StartRow(abt);
      if (first) AddDepartmentColumns(ins, d, /*update_entry_date=*/false);
      Add(ins, aktiv, "uebAbteilungAktiv", "N");
      Add(ins, r_.FormatNumber(r_.ToDouble(keys_.Field("BSNummer")), "000"),
          "uebBeitragsschluesselnummer", "A");
      Add(ins, r_.ToText(keys_.Field("BSName")), "uebBeitragsschluesselname", "A");
      const double amount = FeeKeyAmount(db_, r_, lookups_, keys_, adr_inr_);
      if (GreaterThanZero(r_, keys_.Field("ErhebungVon")))
        Add(ins, r_.ToText(keys_.Field("ErhebungVon")), "uebErhebungVon", "D");
      if (GreaterThanZero(r_, keys_.Field("ErhebungBis")))
        Add(ins, r_.ToText(keys_.Field("ErhebungBis")), "uebErhebungBis", "D");
      Add(ins, r_.FormatNumber(amount, "##,###,##0.00"), "uebBeitragsschluesselBetrag", "A");
      Add(ins, dienst, "uebAbteilungArbeitsdienst", "A");
      db_.ExecuteSQL(ins, true);
    }
  }

  // The address's departments as "1,4,7" in adrAlleAbteilungen, when it has any.
  void WriteDepartmentList() {
    if (list_.empty()) return;
    if (list_.back() == ',') list_.pop_back();
    std::string plain;
    for (char c : list_)
      if (c != '|') plain += c;
    db_.ExecuteSQL("UPDATE ADRESSEN SET adrAlleAbteilungen = '" + QuoteText(plain) +
                       "' WHERE ADR_INR = " + adr_inr_,
                   true);
  }

 private:
  void Add(std::string& ins, const std::string& value, const char* column, const char* type) {
    AddInsertField(db_.CurrentDialect(), r_, ins, value, column, type, false);
  }

  // A new overview row with its key, department and address.
  std::string StartRow(const std::string& abt) {
    std::string ins = "INSERT INTO tblMVAbteilungsuebersicht () VALUES ()";
    ins.reserve(512);  // a full row's statement, without growing field by field
    Add(ins, std::to_string(db_.GetNextID("tblMVAbteilungsuebersicht", "uebID")), "uebID", "N");
    Add(ins, abt, "ueb_abtNR", "N");
    Add(ins, adr_inr_, "uebInterneNummer", "N");
    return ins;
  }

  // Number, name, entry and exit of the department. The entry date of
  // department 0 is the address's entry into the club.
  void AddDepartmentColumns(std::string& ins, const Recordset& d, bool update_entry_date) {
    const Value& eintritt = d.Field("AbtEintritt");
    Add(ins, r_.FormatNumber(r_.ToDouble(d.Field("AbtNummer")), "000"), "uebAbteilungsnummer", "A");
    Add(ins, r_.ToText(d.Field("AbtName")), "uebAbteilungsname", "A");
    if (GreaterThanZero(r_, eintritt)) {
      Add(ins, r_.ToText(eintritt), "uebAbteilungEintritt", "D");
      if (update_entry_date && r_.IsDate(eintritt)) UpdateEntryDate(eintritt);
    }
    if (GreaterThanZero(r_, d.Field("AbtAustritt")))
      Add(ins, r_.ToText(d.Field("AbtAustritt")), "uebAbteilungAustritt", "D");
  }

  void UpdateEntryDate(const Value& eintritt) {
    const double serial = r_.ToDate(eintritt);
    db_.ExecuteSQL("UPDATE ADRESSEN SET adrEintrittHV = " +
                       SQLDateLiteral(db_.CurrentDialect(), r_, eintritt) +
                       ", adrEintritt_MM = " + std::to_string(CivilFromSerial(serial).month) +
                       " WHERE ADR_INR = " + adr_inr_,
                   true);
  }

  Database& db_;
  const RegionalSettings& r_;
  Recordset& keys_;
  Recordset& lookups_;
  const std::string adr_inr_;
  std::string list_;      // "|1|,|4|," while the departments are read
  std::string previous_;  // the department whose first fee-key row is written
};

}  // namespace

bool clsAufgaben::gfRefreshAbteilungsuebersicht() {
  Recordset departments, keys, lookups;
  const Frame frame{
      .tag = "07TG",
      .count_sql = "SELECT Count(ADR_INR) AS ANZAHL FROM ADRESSEN WHERE KZEHEMALIG=FALSE",
      .row_sql = "SELECT ADR_INR FROM ADRESSEN WHERE KZEHEMALIG = FALSE ORDER BY ADR_INR ASC",
      .result_head = "Es wurde(n) bei ",
      .result_tail = " Adresse(n) die Übersicht aktualisiert.",
  };
  return RunRows(frame,
                 [&](Recordset& rs) {
                   const std::string adr_inr = KeyText(rs, "ADR_INR");
                   AddressOverview overview(db_, r_, keys, lookups, adr_inr);
                   db_.ExecuteSQL(
                       "DELETE FROM tblMVAbteilungsuebersicht WHERE uebInterneNummer = " + adr_inr,
                       true);
                   if (db_.TryOpenRecordset(DepartmentsSql(adr_inr), departments))
                     for (; !departments.EndOfData(); departments.MoveNext())
                       overview.WriteDepartment(departments);
                   overview.WriteDepartmentList();
                 },
                 {&departments, &keys, &lookups});
}

}  // namespace kb6
