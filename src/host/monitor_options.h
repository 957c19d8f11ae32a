// The command-line options every host of the monitor takes: the database
// coordinates and data directory it hands to clsApplication, and --once.
// The Linux and the Windows host add their own options beside these.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <optional>
#include <string>

namespace kb6 {

class clsApplication;

struct MonitorOptions {
  std::string datenpfad;
  std::string access_db;
  std::string sqlserver_host;
  std::string sqlserver_db;
  std::string sqlserver_user;
  int32_t programmversion = 0;
  bool once = false;
  // Set by AddMonitorOptions; tell whether the option was given at all.
  CLI::Option* access_option = nullptr;
  CLI::Option* host_option = nullptr;

  bool UsesSqlServer() const { return host_option && host_option->count() > 0; }
  bool UsesAccessFile() const {
    return !UsesSqlServer() && access_option && access_option->count() > 0;
  }
};

// The help text of the program; both hosts print the same one.
inline constexpr const char* kMonitorDescription =
    "KB6TRAY - Korbinar V6 Systemüberwachung: runs the one-day, seven-day and fourteen-day "
    "reorganisations of the club database once a minute.\n"
    "The SQL Server password is read from the environment variable "
    "KB6TRAY_SQLSERVER_PASSWORD, never from the command line.";

// `once_use` completes the --once help ("for cron and systemd timers").
void AddMonitorOptions(CLI::App& cli, MonitorOptions& options, const std::string& once_use);

// The message for options that name no database, or "" when they name one.
std::string MissingDatabaseMessage(const MonitorOptions& options);

// Checks the database the parsed options name and makes the Access file's
// path absolute (UTF-8 on every platform). Returns the exit code 2 (with a
// line on standard error) when there is none or the file is not there.
std::optional<int> CheckMonitorDatabase(MonitorOptions& options);

// Writes the options into the application object's properties, as the host
// application would; the password comes from KB6TRAY_SQLSERVER_PASSWORD.
void WriteProperties(const MonitorOptions& options, clsApplication& app);

}  // namespace kb6
