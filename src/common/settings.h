// The process-wide settings block. The host writes it through clsApplication;
// the timer cycle, the database layer and the run log read it at the moment
// they need a value, so a change applies from the next read on.
#pragma once

#include <cstdint>
#include <string>

namespace kb6 {

struct Settings {
  std::string Datenpfad;
  int32_t Programmversion = 0;
  std::string AccessDatenbank;
  // "lokal" (exactly) selects the Access file; anything else names the SQL Server.
  std::string SQLServer_Host;
  std::string SQLServer_DB;
  std::string SQLServer_User;
  std::string SQLServer_Passwort;
  bool CloseRequested = false;
  std::string RunGuid;
};

}  // namespace kb6
