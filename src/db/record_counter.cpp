// GetNextID: keys from the shared counter table SATZZAEHLER, advanced with an
// optimistic update so that other programs on the same file can draw too.
#include <limits>

#include "common/text.h"
#include "db/database.h"

namespace kb6 {
namespace {

// Passes before a counter that stays unusable (empty, zero or negative WERT,
// or an update that fails every time) gives up with 0 instead of looping.
constexpr int kMaxPasses = 8;

constexpr int32_t kMaxKey = std::numeric_limits<int32_t>::max();

}  // namespace

int32_t Database::GetNextID(const std::string& table, const std::string& field) {
  int32_t n = 0;
  int32_t r = 0;
  Recordset rs;
  auto now = [this]() -> const std::string& {
    const double serial = clock_.Now();
    if (serial != counter_stamp_serial_) {
      counter_stamp_text_ = regional_.ToText(Value::Date(serial));
      counter_stamp_serial_ = serial;
    }
    return counter_stamp_text_;
  };
  try {
    std::string sql;
    for (int pass = 0;; ++pass) {
      if (r > 0 || r == -1) return n;
      if (pass >= kMaxPasses) return 0;
      sql = Concat(
          {"Select WERT from SATZZAEHLER WHERE TABELLE = '", table, "' AND FELD='", field, "'"});
      if (!TryOpenRecordset(std::move(sql), rs)) {
        CloseRecordset(rs);
        return n;
      }
      if (rs.EndOfData()) break;
      n = regional_.ToLong(Value("0" + regional_.TextOrEmpty(rs.Field("WERT"))));
      if (n < 1) {
        n = 0;
        continue;
      }
      const int32_t old = n;
      // A counter at the largest key cannot advance: that is a failure, and
      // handing out its value again would give one key to two records.
      if (n == kMaxKey) return 0;
      n = n + 1;
      r = ExecuteSQL(Concat({"UPDATE SATZZAEHLER SET WERT=", std::to_string(n), ", LAENDERUNG='",
                             now(), "', LUSER='KBTRAY' WHERE TABELLE = '", table, "' AND FELD='",
                             field, "' AND WERT=", std::to_string(old)}),
                     false);
      if (r == 0 || r == kExecuteFailed) n = 0;
    }
    // No counter row yet: seed it from the highest key in the table.
    CloseRecordset(rs);
    sql = "Select MAX(" + field + ") AS MyMax from " + table;
    // Reading MyMax from a result that did not open is the failure that ends
    // the call here.
    if (!TryOpenRecordset(std::move(sql), rs)) {
      CloseRecordset(rs);
      return n;
    }
    int32_t m = 0;
    if (!rs.EndOfData() && !rs.Field("MyMax").IsNull()) m = regional_.ToLong(rs.Field("MyMax"));
    bool fresh = false;
    // Only negative keys so far: counting starts at 1 as in an empty table,
    // never below.
    if (m <= 0) {
      m = 1;
      fresh = true;
    }
    ExecuteSQL("INSERT INTO SATZZAEHLER (ID, TABELLE, FELD,WERT,LUSER,LAENDERUNG) VALUES (1, '" +
                   table + "','" + field + "'," + std::to_string(m) + ",'KBTRAY','" + now() + "')",
               false);
    CloseRecordset(rs);
    if (fresh) return 1;
    // The counter now holds the largest key and cannot advance.
    if (m == kMaxKey) return 0;
    ExecuteSQL("UPDATE SATZZAEHLER SET WERT=" + std::to_string(m + 1) + ", LAENDERUNG='" + now() +
                   "', LUSER='KBTRAY' WHERE TABELLE = '" + table + "' AND FELD='" + field + "'",
               false);
    return m + 1;
  } catch (...) {
    CloseRecordset(rs);
    return n;
  }
}

}  // namespace kb6
