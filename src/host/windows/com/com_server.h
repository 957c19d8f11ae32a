// KB6TRAY.exe as the out-of-process COM server: the modes the command line
// selects (-Embedding, /RegServer, /UnregServer) before any other option.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kb6 {

// When `args` (without the program name) select a COM mode, runs it and
// returns the process's exit code; otherwise returns nothing.
//   -Embedding / /Embedding          started by COM: serve the classes
//   /RegServer [/AllUsers]           register (per user; /AllUsers: machine-wide)
//   /UnregServer [/AllUsers]         remove that registration
// Switches begin with / or - and ignore letter case.
std::optional<int> RunComMode(const std::vector<std::string>& args, const std::string& exe_path);

}  // namespace kb6
