// A data source that exists only for one connect: an odbc.ini of its own in
// a folder only this user can read, which the unixODBC driver manager and
// the driver read through ODBCINI while the object lives. It lets the login
// name and password travel as SQLConnect's own arguments: FreeTDS cannot
// take every password through a connection string (it ends a braced value
// at the first "};" and keeps a doubled "}" doubled).
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kb6 {

class PrivateDsn {
 public:
  // Writes the file and points ODBCINI at it. Throws DbError for a value
  // the ini format cannot carry unchanged (control characters, edge blanks)
  // and when the file cannot be written.
  explicit PrivateDsn(const std::vector<std::pair<std::string, std::string>>& settings);
  // Restores ODBCINI and removes the folder.
  ~PrivateDsn();
  PrivateDsn(const PrivateDsn&) = delete;
  PrivateDsn& operator=(const PrivateDsn&) = delete;

  // The data source's name, new for each object: unixODBC keeps what it
  // read of a data source for 20 seconds by its name, not by its file.
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::filesystem::path folder_;
  bool had_previous_ = false;
  std::string previous_;
};

}  // namespace kb6
