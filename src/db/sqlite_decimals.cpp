#include "db/sqlite_decimals.h"

#include <sqlite3.h>

#include <array>
#include <string>

#include "db/sqlite_handles.h"
#include "db/statement_shape.h"

namespace kb6 {

namespace {

// Decimals with 5 to 9 fraction digits whose value lies within a few
// thousandths of a unit in the last place of a point halfway between two
// doubles: a reader that is not exact goes wrong on these first.
constexpr std::array kHardDecimals = {
    "14660.40679",      "231437.96946054",  "753907.26846716",  "317754.1164804",
    "416233.0461679",   "93895.3025576",    "990487.37679183",  "251413.834335173",
    "382767.279992967", "195846.068174",    "211953.2052635",   "225065.541201",
    "24159.175072",     "281993.01208950",  "438937.589473",    "447452.6370895",
    "483513.042598",    "500500.198848",    "561877.133554",    "655678.946054",
    "789555.397696",    "916686.352304",    "933314.647696",    "990462.227304",
    "382931.873026235", "835178.74605247",  "992872.972614970", "792184.717549383",
    "909340.72687133",  "352171.763470676", "334584.1157389",   "458796.3501139",
    "810296.5966472",   "847916.6591472",   "904465.43460280",  "86738.803259884",
    "980400.437967373", "942640.53239665",  "405761.52170759",  "962293.90970982",
    "83803.23438704",   "956079.441660040", "65307.195141401",  "557963.1802914",
    "601249.86032901",  "646011.51337298",  "597.055475285",    "192595.9886692",
    "77692.0447279",    "820196.707521712", "276221.81988671",  "913418.55453614",
    "146413.19038",     "147794.46587",     "15226.96857",      "18941.12536",
    "222281.09087",     "226732.43462",     "231383.59087",     "235747.84087",
    "238494.96587",     "255970.99712",     "263251.13076",     "289455.69326",
};

}  // namespace

bool SqliteReadsDecimalsAsBound(sqlite3* db) {
  std::string sql = "SELECT ";
  for (const char* d : kHardDecimals) {
    if (sql.size() > 7) sql += ',';
    sql += d;
  }
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK)
    return false;
  const SqliteStatement st(raw);
  if (sqlite3_step(st.get()) != SQLITE_ROW) return false;
  for (int i = 0; i < static_cast<int>(kHardDecimals.size()); ++i) {
    ShapeLiteral bound;
    if (!BindableNumber(kHardDecimals[static_cast<size_t>(i)], bound, true)) continue;
    if (sqlite3_column_type(st.get(), i) != SQLITE_FLOAT ||
        sqlite3_column_double(st.get(), i) != bound.real)
      return false;
  }
  return true;
}

}  // namespace kb6
