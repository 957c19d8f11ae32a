// The options for monitoring systems: --status (a check in the monitoring-
// plugin convention), --max-age-N, and --metrics FILE (Prometheus text for
// node_exporter's textfile collector, rewritten after every cycle).
#pragma once

#include <array>
#include <optional>
#include <string>

#include "host/monitor_options.h"
#include "host/tool_commands.h"
#include "report/history_command.h"

namespace kb6 {

struct OpsOptions {
  bool status = false;
  std::array<int, 3> max_age_days{2, 9, 16};  // one-day, seven-day, fourteen-day
  std::string metrics_file;
  const bool* json = nullptr;  // --json, shared with --history
};

// Adds --status, --max-age-1/7/14 and --metrics; lets --json go with
// --status as well as with --history.
void AddOpsOptions(CLI::App& cli, OpsOptions& ops, ToolOptions& tools);

// A parse error: with --status among the arguments, the UNKNOWN line on
// standard output and exit code 3; otherwise CLI11's message and 2.
int ExitForParseError(const CLI::App& cli, const CLI::ParseError& e, int argc,
                      const char* const* argv);

// The exit code of --status when it was asked for, else nullopt; the
// database options as given.
// The database the monitor's options select, the SQL Server password from
// KB6TRAY_SQLSERVER_PASSWORD.
report::DatabaseChoice DatabaseChoiceOf(const MonitorOptions& monitor);

std::optional<int> RunStatusCommand(const OpsOptions& ops, const MonitorOptions& monitor);

}  // namespace kb6
