#include "db/odbc/private_dsn.h"

#include <odbcinst.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "db/provider.h"

namespace kb6 {
namespace {

constexpr const char* kIniVariable = "ODBCINI";

// unixODBC's ini reader trims a value and ends it at the line's end; it
// reads everything else (";", "=", "#", brackets) as part of the value.
bool CarriesUnchanged(const std::string& value) {
  for (const char c : value)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return value.empty() || (value.front() != ' ' && value.back() != ' ');
}

std::string RandomSuffix() {
  std::random_device random;
  return std::to_string(random()) + std::to_string(random());
}

std::filesystem::path NewPrivateFolder() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::filesystem::path folder = base / ("kb6tray-odbc-" + RandomSuffix());
    std::error_code error;
    // create_directory says false for a folder that existed: someone else's.
    if (std::filesystem::create_directory(folder, error)) {
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::replace, error);
      if (!error) return folder;
      std::filesystem::remove(folder, error);
    }
  }
  throw DbError{-1, "Die ODBC-Datenquelle konnte nicht angelegt werden."};
}

}  // namespace

PrivateDsn::PrivateDsn(const std::vector<std::pair<std::string, std::string>>& settings) {
  for (const auto& [key, value] : settings)
    if (!CarriesUnchanged(value))
      throw DbError{-1, "Ungültiger Wert für " + key + " der SQL-Server-Verbindung."};
  name_ = "KB6TRAY-" + RandomSuffix();
  folder_ = NewPrivateFolder();
  const std::filesystem::path file = folder_ / "odbc.ini";
  {
    std::ofstream out(file, std::ios::binary);
    out << '[' << name_ << "]\n";
    for (const auto& [key, value] : settings) out << key << " = " << value << '\n';
    if (!out.flush()) {
      std::error_code error;
      std::filesystem::remove_all(folder_, error);
      throw DbError{-1, "Die ODBC-Datenquelle konnte nicht angelegt werden."};
    }
  }
  if (const char* previous = std::getenv(kIniVariable); previous != nullptr) {
    had_previous_ = true;
    previous_ = previous;
  }
  setenv(kIniVariable, file.c_str(), 1);
  // The user's file (ours now) and the system's, as by default. The call
  // also keeps libodbcinst loaded for good: the driver loads it too, and
  // unloading it with the driver would orphan its cache of ini values.
  SQLSetConfigMode(ODBC_BOTH_DSN);
}

PrivateDsn::~PrivateDsn() {
  if (had_previous_)
    setenv(kIniVariable, previous_.c_str(), 1);
  else
    unsetenv(kIniVariable);
  std::error_code error;
  std::filesystem::remove_all(folder_, error);
}

}  // namespace kb6
