// clsApplication: what the host application creates and calls. It holds no
// state of its own; every property writes into the settings block.
#pragma once

#include <cstdint>
#include <string>

#include "common/settings.h"

namespace kb6 {

class Database;
class MainWindow;
class RunLog;

class clsApplication {
 public:
  clsApplication(Settings& settings, MainWindow& window, Database& db, RunLog& log)
      : settings_(settings), window_(window), db_(db), log_(log) {}
  // Runs Class_Terminate.
  ~clsApplication() { Class_Terminate(); }
  clsApplication(const clsApplication&) = delete;
  clsApplication& operator=(const clsApplication&) = delete;

  // Closes the shared connection; errors are ignored.
  void Class_Terminate();

  void ShowTrayicon();
  void CloseTrayIcon() { settings_.CloseRequested = true; }

  void Datenpfad(const std::string& v) { settings_.Datenpfad = v; }
  void Programmversion(int32_t v) { settings_.Programmversion = v; }
  void AccessDatenbank(const std::string& v) { settings_.AccessDatenbank = v; }
  void SQLServer_Host(const std::string& v) { settings_.SQLServer_Host = v; }
  void SQLServer_DB(const std::string& v) { settings_.SQLServer_DB = v; }
  void SQLServer_User(const std::string& v) { settings_.SQLServer_User = v; }
  void SQLServer_Passwort(const std::string& v) { settings_.SQLServer_Passwort = v; }

 private:
  Settings& settings_;
  MainWindow& window_;
  Database& db_;
  RunLog& log_;
};

}  // namespace kb6
