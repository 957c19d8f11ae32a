// The commands for the people who run the monitor, next to the monitor
// itself: --history (run history) and --check / --fix (club file check).
#pragma once

#include <optional>
#include <string>

#include "common/clock.h"
#include "report/history_command.h"

namespace CLI {
class App;
}

namespace kb6 {

struct ToolOptions {
  bool history = false;
  bool check = false;
  bool fix = false;
  report::HistoryRequest request;
};

// Adds --history, --days, --json, --html, --check and --fix to the parser.
void AddToolOptions(CLI::App& cli, ToolOptions& options);

// The exit code when one of the commands was asked for, else nullopt (the
// monitor runs). `choice` holds the database options as given.
std::optional<int> RunToolCommand(const ToolOptions& options, const report::DatabaseChoice& choice,
                                  const Clock& clock);

}  // namespace kb6
