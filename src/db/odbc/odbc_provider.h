// The provider named "SQLOLEDB.1": on this platform an ODBC client through the
// unixODBC driver manager, FreeTDS by default. It takes the SQLOLEDB
// connection attributes the database module writes and connects with a
// driver connection string of its own, its values quoted so that no setting can
// add attributes. Kept out of the core library: only the host and the
// tests link it.
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

// The driver connection string for SQLOLEDB's "User ID", "Password",
// "Initial Catalog" and "Data Source" ("host" or "host,port").
std::string BuildOdbcConnectionString(const ConnectionAttributes& attributes,
                                      const std::string& driver);

// Connects with a finished driver connection string; throws DbError with the
// driver's native error number and message.
std::unique_ptr<ProviderSession> OpenOdbcSession(const std::string& driver_connection_string);

// Registers "SQLOLEDB.1"; the driver is read from KB6TRAY_ODBC_DRIVER at
// each connect, FreeTDS when it is unset or empty.
void RegisterOdbcProvider(ProviderRegistry& registry);

}  // namespace kb6
