// The provider named "SQLOLEDB.1": on this platform an ODBC client through the
// unixODBC driver manager, FreeTDS by default. It takes the SQLOLEDB
// connection attributes the database module writes and logs in so that no
// setting can add or change driver attributes (see OpenOdbcSession). Kept
// out of the core library: only the host and the tests link it.
#pragma once

#include <memory>
#include <string>

#include "db/provider.h"

namespace kb6 {

inline constexpr const char* kSqlServerProviderName = "SQLOLEDB.1";
inline constexpr const char* kDefaultOdbcDriver = "FreeTDS";
// Names another ODBC driver (Microsoft's, or one for tests).
inline constexpr const char* kOdbcDriverVariable = "KB6TRAY_ODBC_DRIVER";

// A value that could end early or be misread (";", braces, edge blanks)
// becomes "{value}" with every "}" doubled: ODBC's quoting, which ends a
// value only at a single "}". Other values stay as they are.
std::string QuoteOdbcValue(const std::string& value);

// Where and as whom to log in: SQLOLEDB's "Data Source" ("host", "host,port"
// or "host\instance"), "Initial Catalog", "User ID" and "Password". For
// FreeTDS a port after the comma becomes a setting of its own.
struct OdbcLogin {
  std::string driver;
  std::string server;
  std::string port;
  std::string database;
  std::string user;
  std::string password;
};
OdbcLogin OdbcLoginFromAttributes(const ConnectionAttributes& attributes,
                                  const std::string& driver);

// The driver connection string of a login, values quoted by QuoteOdbcValue.
// Only Windows connects with it: FreeTDS misreads some quoted values.
std::string BuildOdbcConnectionString(const OdbcLogin& login);

// Connects with a finished driver connection string; throws DbError with the
// driver's native error number and message.
std::unique_ptr<ProviderSession> OpenOdbcSession(const std::string& driver_connection_string);

// Logs in. Off Windows the user name and password reach the driver
// unchanged whatever they hold, through SQLConnectW and a data source of this
// process's own (see private_dsn.h): no value is parsed out of a connection
// string, and one the data source cannot hold unchanged (server, port or
// database with control characters or edge blanks) is refused. On Windows,
// through the connection string above, which Microsoft's drivers read as
// written (FreeTDS does not). Throws DbError as the other overload.
std::unique_ptr<ProviderSession> OpenOdbcSession(const OdbcLogin& login);

// Registers "SQLOLEDB.1"; the driver is read from KB6TRAY_ODBC_DRIVER at
// each connect, FreeTDS when it is unset or empty.
void RegisterOdbcProvider(ProviderRegistry& registry);

}  // namespace kb6
