// SQL functions that give Access operators their meaning on SQLite:
// acc_concat ("&"), acc_plus ("+" with texts), MID and the three-argument INSTR;
// and acc_store_date / acc_store_bool, the value a Date/Time or Yes/No column
// of an Access file stores for an assigned value.
#pragma once

struct sqlite3;

namespace kb6 {

void RegisterAccessFunctions(sqlite3* db);

}  // namespace kb6
