// The household rate of a fee key of calculation kind 4, shared by the fee
// calculation and the department overview: the active members of the
// address's household select one of five rates by their number.
#pragma once

#include <string>

namespace kb6 {

class Database;
class Recordset;
struct RegionalSettings;

// fee_key: the current row of a fee-key statement (Personen1..5,
// Jahresbeitrag..Jahresbeitrag5). size_sql_prefix: the household-size
// statement up to the family number. lookups: the job's recordset for the
// two look-ups. Members without a household get 0.
double HouseholdRate(Database& db, const RegionalSettings& r, Recordset& lookups,
                     const Recordset& fee_key, const std::string& adr_inr,
                     const std::string& size_sql_prefix);

}  // namespace kb6
