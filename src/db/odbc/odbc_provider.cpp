#include "db/odbc/odbc_provider.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <limits>

#include "common/dates.h"
#include "common/text.h"

namespace kb6 {
namespace {

constexpr SQLULEN kLoginTimeoutSeconds = 15;

// The first diagnostic record of a handle, as DbError: the driver's native
// number and its message. The later records repeat or generalise the first.
DbError Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLCHAR message[SQL_MAX_MESSAGE_LENGTH + 1] = {};
  SQLSMALLINT length = 0;
  const SQLRETURN rc =
      SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
  if (!SQL_SUCCEEDED(rc)) return {-1, "Unbekannter ODBC-Fehler"};
  return {native, reinterpret_cast<const char*>(message)};
}

// Owns one ODBC handle; statements are freed before their connection because
// each lives only inside one call of the session.
class Handle {
 public:
  Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) {
      handle_ = SQL_NULL_HANDLE;
      throw parent == SQL_NULL_HANDLE
          ? DbError{-1, "Der ODBC-Treibermanager konnte nicht geladen werden."}
          : Diagnostic(type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV, parent);
    }
  }
  ~Handle() {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  SQLHANDLE get() const { return handle_; }
  // Throws the handle's diagnostic unless rc reports success.
  void Check(SQLRETURN rc) const {
    if (!SQL_SUCCEEDED(rc)) throw Diagnostic(type_, handle_);
  }

 private:
  SQLSMALLINT type_;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

double SerialOf(const SQL_TIMESTAMP_STRUCT& ts) {
  CivilDateTime c{ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second};
  // Fractions are nanoseconds; the serial keeps them as part of the day.
  return SerialFromCivil(c) + static_cast<double>(ts.fraction) / 1e9 / 86400.0;
}

bool IsDateTimeType(SQLSMALLINT t) {
  return t == SQL_TYPE_DATE || t == SQL_TYPE_TIMESTAMP || t == SQL_DATETIME || t == SQL_DATE ||
         t == SQL_TIMESTAMP;
}

// Reads a column whatever its length: the driver hands out long texts in
// pieces and says so by success-with-info.
Value TextColumn(const Handle& stmt, SQLUSMALLINT col) {
  std::string text;
  char buffer[4096];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(stmt.get(), col, SQL_C_CHAR, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    stmt.Check(rc);
    if (indicator == SQL_NULL_DATA) return Value::Null();
    const size_t room = sizeof buffer - 1;  // one byte goes to the terminator
    const size_t got = (indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room)
                           ? room
                           : static_cast<size_t>(indicator);
    text.append(buffer, got);
    if (rc == SQL_SUCCESS) break;
  }
  return Value(std::move(text));
}

template <typename T>
bool Fixed(const Handle& stmt, SQLUSMALLINT col, SQLSMALLINT c_type, T& out) {
  SQLLEN indicator = 0;
  stmt.Check(SQLGetData(stmt.get(), col, c_type, &out, sizeof out, &indicator));
  return indicator != SQL_NULL_DATA;
}

Value ReadColumn(const Handle& stmt, SQLUSMALLINT col, SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_BIT: {
      unsigned char b = 0;
      return Fixed(stmt, col, SQL_C_BIT, b) ? Value(b != 0) : Value::Null();
    }
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER: {
      SQLINTEGER i = 0;
      return Fixed(stmt, col, SQL_C_SLONG, i) ? Value(static_cast<int32_t>(i)) : Value::Null();
    }
    case SQL_BIGINT: {
      SQLBIGINT i = 0;
      if (!Fixed(stmt, col, SQL_C_SBIGINT, i)) return Value::Null();
      if (i >= std::numeric_limits<int32_t>::min() && i <= std::numeric_limits<int32_t>::max())
        return Value(static_cast<int32_t>(i));
      return Value(static_cast<double>(i));
    }
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_DECIMAL:
    case SQL_NUMERIC: {
      double d = 0;
      return Fixed(stmt, col, SQL_C_DOUBLE, d) ? Value(d) : Value::Null();
    }
    case SQL_TYPE_TIME:
    case SQL_TIME: {
      SQL_TIME_STRUCT t{};
      if (!Fixed(stmt, col, SQL_C_TYPE_TIME, t)) return Value::Null();
      return Value::Date((t.hour * 3600.0 + t.minute * 60.0 + t.second) / 86400.0);
    }
    default:
      if (IsDateTimeType(sql_type)) {
        SQL_TIMESTAMP_STRUCT ts{};
        return Fixed(stmt, col, SQL_C_TYPE_TIMESTAMP, ts) ? Value::Date(SerialOf(ts))
                                                          : Value::Null();
      }
      return TextColumn(stmt, col);
  }
}

class OdbcSession final : public ProviderSession {
 public:
  explicit OdbcSession(const std::string& connection_string)
      : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE), dbc_(SQL_HANDLE_DBC, InitEnv(env_)) {
    SQLSetConnectAttr(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
    std::string in = connection_string;
    SQLCHAR out[1024];
    SQLSMALLINT out_length = 0;
    dbc_.Check(SQLDriverConnect(dbc_.get(), nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                                static_cast<SQLSMALLINT>(in.size()), out, sizeof out, &out_length,
                                SQL_DRIVER_NOPROMPT));
    connected_ = true;
  }
  ~OdbcSession() override {
    if (connected_) SQLDisconnect(dbc_.get());
  }

  int64_t Execute(const std::string& sql) override {
    Handle stmt(SQL_HANDLE_STMT, dbc_.get());
    const SQLRETURN rc = Run(stmt, sql);
    SQLLEN count = 0;
    // No data is a searched UPDATE or DELETE that found no row.
    if (rc != SQL_NO_DATA) stmt.Check(SQLRowCount(stmt.get(), &count));
    while (SQL_SUCCEEDED(SQLMoreResults(stmt.get()))) {
    }
    return count;
  }

  RowSet Query(const std::string& sql) override {
    Handle stmt(SQL_HANDLE_STMT, dbc_.get());
    RowSet out;
    if (Run(stmt, sql) == SQL_NO_DATA) return out;
    SQLSMALLINT ncols = 0;
    stmt.Check(SQLNumResultCols(stmt.get(), &ncols));
    std::vector<SQLSMALLINT> types(ncols);
    for (SQLUSMALLINT c = 1; c <= ncols; ++c) {
      SQLCHAR name[256] = {};
      SQLSMALLINT name_length = 0, nullable = 0, digits = 0;
      SQLULEN size = 0;
      stmt.Check(SQLDescribeCol(stmt.get(), c, name, sizeof name, &name_length, &types[c - 1],
                                &size, &digits, &nullable));
      out.columns.emplace_back(reinterpret_cast<const char*>(name));
    }
    for (;;) {
      const SQLRETURN rc = SQLFetch(stmt.get());
      if (rc == SQL_NO_DATA) break;
      stmt.Check(rc);
      std::vector<Value>& row = out.rows.emplace_back();
      row.reserve(ncols);
      for (SQLUSMALLINT c = 1; c <= ncols; ++c) row.push_back(ReadColumn(stmt, c, types[c - 1]));
    }
    return out;
  }

 private:
  static SQLHANDLE InitEnv(const Handle& env) {
    env.Check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0));
    return env.get();
  }
  static SQLRETURN Run(const Handle& stmt, const std::string& sql) {
    std::string text = sql;
    const SQLRETURN rc = SQLExecDirect(stmt.get(), reinterpret_cast<SQLCHAR*>(text.data()),
                                       static_cast<SQLINTEGER>(text.size()));
    if (rc != SQL_NO_DATA) stmt.Check(rc);
    return rc;
  }

  Handle env_;
  Handle dbc_;
  bool connected_ = false;
};

}  // namespace

std::string QuoteOdbcValue(const std::string& value) {
  // Plain values stay plain: not every driver strips braces from a value it
  // reads itself (the SQLite ODBC driver does not).
  const bool plain = value.find_first_of(";{}") == std::string::npos &&
                     (value.empty() || (value.front() != ' ' && value.back() != ' '));
  return plain ? value : "{" + ReplaceAll(value, "}", "}}") + "}";
}

std::string BuildOdbcConnectionString(const ConnectionAttributes& attributes,
                                      const std::string& driver) {
  std::string server = attributes.Get("Data Source");
  std::string port;
  // SQLOLEDB writes a port after a comma; FreeTDS wants it as its own key.
  const bool freetds = EqualsNoCase(driver, "FreeTDS");
  if (const size_t comma = server.find(','); freetds && comma != std::string::npos) {
    port = TrimBlanks(server.substr(comma + 1));
    server = TrimBlanks(server.substr(0, comma));
  }
  // The driver manager itself strips the braces of DRIVER.
  std::string s = "DRIVER={" + ReplaceAll(driver, "}", "}}") + "};SERVER=" + QuoteOdbcValue(server);
  if (!port.empty()) s += ";PORT=" + QuoteOdbcValue(port);
  s += ";DATABASE=" + QuoteOdbcValue(attributes.Get("Initial Catalog")) +
       ";UID=" + QuoteOdbcValue(attributes.Get("User ID")) +
       ";PWD=" + QuoteOdbcValue(attributes.Get("Password"));
  // Texts travel as UTF-8 both ways, as everywhere else in the process.
  if (freetds) s += ";ClientCharset=UTF-8";
  return s;
}

std::unique_ptr<ProviderSession> OpenOdbcSession(const std::string& driver_connection_string) {
  return std::make_unique<OdbcSession>(driver_connection_string);
}

void RegisterOdbcProvider(ProviderRegistry& registry) {
  registry.Register(kSqlServerProviderName, [](const ConnectionAttributes& attributes) {
    const char* driver = std::getenv(kOdbcDriverVariable);
    return OpenOdbcSession(BuildOdbcConnectionString(
        attributes, driver != nullptr && *driver != '\0' ? driver : kDefaultOdbcDriver));
  });
}

}  // namespace kb6
