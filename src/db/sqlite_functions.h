// SQL functions that give Access operators their meaning on SQLite:
// acc_concat ("&"), acc_plus ("+" with texts), MID and the three-argument INSTR.
#pragma once

struct sqlite3;

namespace kb6 {

void RegisterAccessFunctions(sqlite3* db);

}  // namespace kb6
