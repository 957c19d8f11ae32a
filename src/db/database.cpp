#include "db/database.h"

#include <cctype>
#include <limits>

#include "common/text.h"
#include "db/sqlserver_rewrite.h"

namespace kb6 {

Database::Database(Settings& settings, const RegionalSettings& regional, const Clock& clock,
                   const ProviderRegistry& providers)
    : settings_(settings), regional_(regional), clock_(clock), providers_(providers) {}

Database::~Database() = default;

// db_kind_ holds only the two names this file writes.
bool Database::IsAccess() const { return db_kind_ == "ACCESS"; }

bool Database::OpenDatabase() {
  last_connect_error_ = settings_.SQLServer_Host == "lokal" ? ConnectAccess() : ConnectSQLServer();
  return last_connect_error_.empty();
}

void Database::CloseDatabase() {
  if (connection_ && connection_->State() == 1) {
    connection_->Close();
    connection_.reset();
  }
}

std::string Database::ConnectAccess() {
  db_kind_ = "ACCESS";
  // No file named is no database: without this the open "succeeded" with no
  // connection, and every job ran on nothing and logged success.
  if (settings_.AccessDatenbank.empty()) return kNoDatabaseFile;
  try {
    // The file name is quoted when it holds ";" or quotes, so that it can
    // never add attributes of its own.
    access_connection_string_ = "Provider=Microsoft Jet 4.0 OLE DB Provider;Data Source=" +
                                QuoteConnectionValue(settings_.AccessDatenbank) +
                                ";Jet OLEDB:Database Password=" + kAccessPassword;
    if (read_only_) access_connection_string_ += ";Mode=Read";
    if (immutable_) access_connection_string_ += ";Immutable=True";
    connection_ = std::make_unique<Connection>(providers_);
    connection_->Open(access_connection_string_);
    return "";
  } catch (const std::exception& e) {
    return e.what();
  }
}

std::string Database::ConnectSQLServer() {
  db_kind_ = "SQLSERVER";
  try {
    connection_ = std::make_unique<Connection>(providers_);
    connection_->Open("Provider=SQLOLEDB.1;Persist Security Info=True;User ID=" +
                      QuoteConnectionValue(settings_.SQLServer_User) +
                      ";Password=" + QuoteConnectionValue(settings_.SQLServer_Passwort) +
                      ";Initial Catalog=" + QuoteConnectionValue(settings_.SQLServer_DB) +
                      ";Data Source=" + QuoteConnectionValue(settings_.SQLServer_Host));
    return "";
  } catch (const std::exception& e) {
    return e.what();
  }
}

std::string Database::OpenRecordset(std::string& statement, Recordset& rs) {
  if (!connection_) {
    const bool access = db_kind_ == "ACCESS";
    if (!(access ? ConnectAccess() : ConnectSQLServer()).empty()) {
      return access ? "Die Datenbankverbindung konnten nicht aufgebaut werden."
                    : "Die Verbindung zum SQL Server konnten nicht aufgebaut werden.";
    }
  }
  if (!connection_) return "Die Datenbankverbindung konnten nicht aufgebaut werden.";
  if (connection_->State() == 0)
    return "Die Verbindung zur Datenbank konnte nicht hergestellt werden.";
  try {
    if (db_kind_ == "SQLSERVER") statement = ConvertQueryForSQLServer(statement);
    if (rs.State() == 1) rs.Close();
    rs.Open(statement, *connection_);
    return "";
  } catch (const RuntimeError& e) {
    return std::to_string(e.number()) + " - " + e.what();
  } catch (const std::exception& e) {
    return "-1 - " + std::string(e.what());
  }
}

bool Database::TryOpenRecordset(std::string statement, Recordset& rs) {
  LastOpenError = OpenRecordset(statement, rs);
  return LastOpenError.empty();
}

void Database::CloseRecordset(Recordset& rs) { rs.Close(); }

void Database::CountFailure(const std::exception& e) {
  const auto* db_error = dynamic_cast<const DbError*>(&e);
  if (db_error && db_error->missing_object()) return;
  if (failures_.count++ == 0) failures_.first_cause = e.what();
}

int32_t Database::ExecuteSQL(std::string& statement, bool no_error_log) {
  if (statement.empty()) return 0;
  std::string failure;
  try {
    if (db_kind_ == "SQLSERVER") statement = RewriteStatementForSqlServer(statement);
    if (!connection_)
      throw DbError{3704, "Der Vorgang ist für ein geschlossenes Objekt nicht zulässig."};
    const int64_t affected = connection_->Execute(statement);
    // Kept in 32 bits: a large UPDATE that succeeded must not read as failure.
    if (affected > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(affected);
  } catch (const std::exception& e) {
    CountFailure(e);
    failure = e.what();
  }
  if (!no_error_log && error_log_) error_log_(failure);
  return kExecuteFailed;
}

}  // namespace kb6
