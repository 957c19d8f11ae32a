#include "db/odbc/odbc_provider.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "common/dates.h"
#include "common/text.h"
#include "db/odbc/utf16.h"
#ifndef _WIN32
#include "db/odbc/private_dsn.h"
#endif

namespace kb6 {
namespace {

constexpr SQLULEN kLoginTimeoutSeconds = 15;

// The texts at the API. On Windows every text goes through the wide
// functions as UTF-16: the narrow ones would read the ANSI code page, and
// Wine's odbc32 lacks them. unixODBC would convert wide texts for a driver
// without wide functions (the SQLite one) through the process locale's code
// set, so there the narrow functions pass UTF-8 through unchanged; only the
// login is always wide (see OpenOdbcSession).
#ifdef _WIN32
using ApiString = std::u16string;
#define KB6_ODBC_TEXT(function) function##W
constexpr SQLSMALLINT kApiTextType = SQL_C_WCHAR;
ApiString ToApi(const std::string& text) { return Utf16FromUtf8(text); }
std::string FromApi(const ApiString& text) { return Utf8FromUtf16(text); }
#else
using ApiString = std::string;
#define KB6_ODBC_TEXT(function) function
constexpr SQLSMALLINT kApiTextType = SQL_C_CHAR;
ApiString ToApi(const std::string& text) { return text; }
std::string FromApi(const ApiString& text) { return text; }
#endif
using ApiChar = ApiString::value_type;

SQLWCHAR* Wide(std::u16string& text) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide texts are UTF-16");
  return reinterpret_cast<SQLWCHAR*>(text.data());
}
[[maybe_unused]] SQLCHAR* Api(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }
[[maybe_unused]] SQLWCHAR* Api(std::u16string& text) { return Wide(text); }

// A text the driver wrote into a buffer, its length as reported (which is
// the whole text's, longer than the buffer when it was cut).
std::string Received(ApiString buffer, SQLSMALLINT length) {
  buffer.resize(
      std::min<size_t>(static_cast<size_t>(std::max<SQLSMALLINT>(length, 0)), buffer.size() - 1));
  return FromApi(buffer);
}

// The first diagnostic record of a handle, as DbError: the driver's native
// number and its message. The later records repeat or generalise the first.
DbError Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  SQLINTEGER native = 0;
  ApiString message(SQL_MAX_MESSAGE_LENGTH, ApiChar{});
  SQLSMALLINT length = 0;
  ApiString state_text(6, ApiChar{});
  const SQLRETURN rc =
      KB6_ODBC_TEXT(SQLGetDiagRec)(type, handle, 1, Api(state_text), &native, Api(message),
                                   static_cast<SQLSMALLINT>(message.size()), &length);
  if (!SQL_SUCCEEDED(rc)) return {-1, "Unbekannter ODBC-Fehler"};
  // 42S02: no such table or view; 42S22: no such column.
  const std::string state = Received(state_text, 5);
  return {native, Received(message, length), state == "42S02" || state == "42S22"};
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
// pieces and says so by success-with-info. The pieces are joined before
// decoding, since one may end inside a character.
Value TextColumn(const Handle& stmt, SQLUSMALLINT col) {
  ApiString text;
  ApiChar buffer[2048];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc =
        SQLGetData(stmt.get(), col, kApiTextType, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) break;
    stmt.Check(rc);
    if (indicator == SQL_NULL_DATA) return Value::Null();
    const size_t room = sizeof buffer - sizeof buffer[0];  // one goes to the terminator
    const size_t got = (indicator == SQL_NO_TOTAL || static_cast<size_t>(indicator) > room)
                           ? room
                           : static_cast<size_t>(indicator);
    text.append(buffer, got / sizeof buffer[0]);
    if (rc == SQL_SUCCESS) break;
  }
  return Value(FromApi(text));
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
  // connect logs the connection handle in; its result is checked here.
  template <typename Connect>
  explicit OdbcSession(Connect connect)
      : env_(SQL_HANDLE_ENV, SQL_NULL_HANDLE), dbc_(SQL_HANDLE_DBC, InitEnv(env_)) {
    SQLSetConnectAttr(dbc_.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
    dbc_.Check(connect(dbc_.get()));
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

  void Query(const std::string& sql, RowSet& out) override {
    out.columns.clear();
    out.rows.clear();
    Handle stmt(SQL_HANDLE_STMT, dbc_.get());
    if (Run(stmt, sql) == SQL_NO_DATA) return;
    SQLSMALLINT ncols = 0;
    stmt.Check(SQLNumResultCols(stmt.get(), &ncols));
    std::vector<SQLSMALLINT> types(ncols);
    for (SQLUSMALLINT c = 1; c <= ncols; ++c) {
      ApiString name(256, ApiChar{});
      SQLSMALLINT name_length = 0, nullable = 0, digits = 0;
      SQLULEN size = 0;
      stmt.Check(KB6_ODBC_TEXT(SQLDescribeCol)(stmt.get(), c, Api(name),
                                               static_cast<SQLSMALLINT>(name.size()), &name_length,
                                               &types[c - 1], &size, &digits, &nullable));
      out.columns.push_back(Received(name, name_length));
    }
    for (;;) {
      const SQLRETURN rc = SQLFetch(stmt.get());
      if (rc == SQL_NO_DATA) break;
      stmt.Check(rc);
      std::vector<Value>& row = out.rows.emplace_back();
      row.reserve(ncols);
      for (SQLUSMALLINT c = 1; c <= ncols; ++c) row.push_back(ReadColumn(stmt, c, types[c - 1]));
    }
  }

 private:
  static SQLHANDLE InitEnv(const Handle& env) {
    env.Check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0));
    return env.get();
  }
  static SQLRETURN Run(const Handle& stmt, const std::string& sql) {
    ApiString text = ToApi(sql);
    const SQLRETURN rc =
        KB6_ODBC_TEXT(SQLExecDirect)(stmt.get(), Api(text), static_cast<SQLINTEGER>(text.size()));
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

OdbcLogin OdbcLoginFromAttributes(const ConnectionAttributes& attributes,
                                  const std::string& driver) {
  OdbcLogin login{driver,
                  attributes.Get("Data Source"),
                  "",
                  attributes.Get("Initial Catalog"),
                  attributes.Get("User ID"),
                  attributes.Get("Password")};
  // SQLOLEDB writes a port after a comma; FreeTDS wants it as its own key.
  if (const size_t comma = login.server.find(',');
      EqualsNoCase(driver, "FreeTDS") && comma != std::string::npos) {
    login.port = TrimBlanks(login.server.substr(comma + 1));
    login.server = TrimBlanks(login.server.substr(0, comma));
  }
  return login;
}

std::string BuildOdbcConnectionString(const OdbcLogin& login) {
  // The driver manager itself strips the braces of DRIVER.
  std::string s =
      "DRIVER={" + ReplaceAll(login.driver, "}", "}}") + "};SERVER=" + QuoteOdbcValue(login.server);
  if (!login.port.empty()) s += ";PORT=" + QuoteOdbcValue(login.port);
  s += ";DATABASE=" + QuoteOdbcValue(login.database) + ";UID=" + QuoteOdbcValue(login.user) +
       ";PWD=" + QuoteOdbcValue(login.password);
  // Texts travel as UTF-8 both ways, as everywhere else in the process.
  if (EqualsNoCase(login.driver, "FreeTDS")) s += ";ClientCharset=UTF-8";
  return s;
}

std::unique_ptr<ProviderSession> OpenOdbcSession(const std::string& driver_connection_string) {
  return std::make_unique<OdbcSession>([&](SQLHDBC dbc) {
    ApiString in = ToApi(driver_connection_string);
    ApiString out(1024, ApiChar{});
    SQLSMALLINT out_length = 0;
    return KB6_ODBC_TEXT(SQLDriverConnect)(
        dbc, nullptr, Api(in), static_cast<SQLSMALLINT>(in.size()), Api(out),
        static_cast<SQLSMALLINT>(out.size()), &out_length, SQL_DRIVER_NOPROMPT);
  });
}

std::unique_ptr<ProviderSession> OpenOdbcSession(const OdbcLogin& login) {
#ifdef _WIN32
  // Windows' drivers read ODBC's quoting as written (a doubled "}" is one).
  return OpenOdbcSession(BuildOdbcConnectionString(login));
#else
  std::vector<std::pair<std::string, std::string> > settings = {{"Driver", login.driver},
                                                                {"Server", login.server}};
  if (!login.port.empty()) settings.emplace_back("Port", login.port);
  settings.emplace_back("Database", login.database);
  // Texts travel as UTF-8 both ways, as everywhere else in the process.
  if (EqualsNoCase(login.driver, "FreeTDS")) settings.emplace_back("ClientCharset", "UTF-8");
  const PrivateDsn dsn(settings);
  // FreeTDS would read a narrow user name and password as Latin-1: its
  // client character set applies only after the login.
  return std::make_unique<OdbcSession>([&](SQLHDBC dbc) {
    std::u16string name = Utf16FromUtf8(dsn.name()), user = Utf16FromUtf8(login.user),
                   password = Utf16FromUtf8(login.password);
    return SQLConnectW(dbc, Wide(name), static_cast<SQLSMALLINT>(name.size()), Wide(user),
                       static_cast<SQLSMALLINT>(user.size()), Wide(password),
                       static_cast<SQLSMALLINT>(password.size()));
  });
#endif
}

void RegisterOdbcProvider(ProviderRegistry& registry) {
  registry.Register(kSqlServerProviderName, [](const ConnectionAttributes& attributes) {
    const char* driver = std::getenv(kOdbcDriverVariable);
    return OpenOdbcSession(OdbcLoginFromAttributes(
        attributes, driver != nullptr && *driver != '\0' ? driver : kDefaultOdbcDriver));
  });
}

}  // namespace kb6
