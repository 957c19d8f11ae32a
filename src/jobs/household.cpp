#include "jobs/household.h"

#include "db/database.h"

namespace kb6 {

double HouseholdRate(Database& db, const RegionalSettings& r, Recordset& lookups,
                     const Recordset& fee_key, const std::string& adr_inr,
                     const std::string& size_sql_prefix) {
  int32_t family = 0;
  std::string sql = "SELECT FAM_NR from ADRESSEN WHERE ADR_INR = " + adr_inr;
  if (db.TryOpenRecordset(std::move(sql), lookups) && !lookups.Field("FAM_NR").IsNull())
    family = RoundToLong(NumericValueOf(r, lookups.Field("FAM_NR")));
  if (family < 1) return 0;
  int32_t size = 0;
  sql = size_sql_prefix + std::to_string(family);
  if (db.TryOpenRecordset(std::move(sql), lookups)) size = r.ToLong(lookups.Field("ANZAHL"));
  static const char* const kSizes[] = {"Personen1", "Personen2", "Personen3", "Personen4",
                                       "Personen5"};
  static const char* const kRates[] = {"Jahresbeitrag", "Jahresbeitrag2", "Jahresbeitrag3",
                                       "Jahresbeitrag4", "Jahresbeitrag5"};
  for (int i = 0; i < 5; ++i) {
    const Value& n = fee_key.Field(kSizes[i]);
    if (r.IsNumeric(n) && !n.IsEmpty() && r.ToDouble(n) == size)
      return r.ToDouble(fee_key.Field(kRates[i]));
  }
  return r.ToDouble(fee_key.Field("Jahresbeitrag"));
}

}  // namespace kb6
