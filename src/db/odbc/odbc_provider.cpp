#include "db/odbc/odbc_provider.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <limits>

#include "common/dates.h"
#include "common/text.h"
#ifndef _WIN32
#include "db/odbc/private_dsn.h"
#endif

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

// UTF-8 as UTF-16, the text of ODBC's wide functions; a byte that starts
// no valid sequence becomes U+FFFD.
std::u16string Utf16FromUtf8(const std::string& text) {
  std::u16string out;
  for (size_t i = 0; i < text.size();) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const size_t length = lead < 0x80    ? 1
                          : lead >= 0xF0 ? 4
                          : lead >= 0xE0 ? 3
                          : lead >= 0xC2 ? 2
                                         : 0;
    char32_t c = length == 1   ? lead
                 : length == 2 ? lead & 0x1F
                 : length == 3 ? lead & 0x0F
                               : lead & 0x07;
    bool valid = length != 0 && lead < 0xF5 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (byte(i + k) & 0xC0) == 0x80;
      c = c << 6 | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text.
    if (valid)
      valid = !(length == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) &&
              !(length == 4 && (c < 0x10000 || c > 0x10FFFF));
    if (!valid) {
      out += u'\uFFFD';
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
    i += length;
  }
  return out;
}

SQLWCHAR* Wide(std::u16string& text) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC's wide texts are UTF-16");
  return reinterpret_cast<SQLWCHAR*>(text.data());
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
    std::string in = driver_connection_string;
    SQLCHAR out[1024];
    SQLSMALLINT out_length = 0;
    return SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()),
                            static_cast<SQLSMALLINT>(in.size()), out, sizeof out, &out_length,
                            SQL_DRIVER_NOPROMPT);
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
  // The wide function: FreeTDS reads a narrow user name and password as
  // Latin-1, since the client character set applies only after the login.
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
